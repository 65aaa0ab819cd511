# libFuzzer target for the self-extractor core against Debian's libarchive. Needs clang; other
# compilers skip it.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND NOT WIN32)
  # clang has no GBK execution charset; the core's literals are ASCII or byte escapes.
  get_directory_property(fuzz_options COMPILE_OPTIONS)
  list(REMOVE_ITEM fuzz_options -fexec-charset=GBK)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${fuzz_options}")
  file(GLOB stub_core_fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/stub/core/*.cpp)
  add_executable(stub_core_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/stub_core_fuzz.cpp ${stub_core_fuzz_sources})
  target_include_directories(stub_core_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(STUB_FUZZ_LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)
  target_link_libraries(stub_core_fuzz PRIVATE PkgConfig::STUB_FUZZ_LIBARCHIVE)
  target_compile_options(stub_core_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(stub_core_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  add_test(NAME stub_core_fuzz_smoke COMMAND stub_core_fuzz -runs=20000 -seed=1 -max_len=65536)
  set_tests_properties(stub_core_fuzz_smoke PROPERTIES LABELS "fuzz" TIMEOUT 300)
endif()

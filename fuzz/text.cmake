# libFuzzer target for the text operations and the dropped-path analysis. Needs clang;
# other compilers skip it. Sources are compiled in so that coverage reaches them.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND NOT WIN32)
  # clang has no GBK execution charset; the fuzzed code only compares ASCII bytes.
  get_directory_property(fuzz_options COMPILE_OPTIONS)
  list(REMOVE_ITEM fuzz_options -fexec-charset=GBK)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${fuzz_options}")
  add_executable(text_fuzz
    ${CMAKE_CURRENT_SOURCE_DIR}/text_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/base/text.cpp
    ${PROJECT_SOURCE_DIR}/base/memory.cpp
    ${PROJECT_SOURCE_DIR}/base/memory_posix.cpp
    ${PROJECT_SOURCE_DIR}/base/fatal.cpp
    ${PROJECT_SOURCE_DIR}/base/fatal_posix.cpp
    ${PROJECT_SOURCE_DIR}/base/fatal_text.cpp
    ${PROJECT_SOURCE_DIR}/app/globals.cpp
    ${PROJECT_SOURCE_DIR}/app/path_analysis.cpp)
  target_include_directories(text_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  # A short fixed run as a smoke test; real campaigns run the binary by hand.
  add_test(NAME text_fuzz_smoke COMMAND text_fuzz -runs=20000 -seed=1)
  set_tests_properties(text_fuzz_smoke PROPERTIES LABELS "fuzz" TIMEOUT 300)
endif()

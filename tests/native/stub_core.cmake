# The self-extractor core, in both builds: natively against Debian's libarchive, and under Wine
# against the MinGW libarchive that kzsfx.exe links. The engine tests read archives that
# python3, zip and 7z make on the build machine when the test is built.
quillet_add_test(stub_core_rules_test
  SOURCES ${TEST_DIR}/stub_safe_path_test.cpp ${TEST_DIR}/stub_pe_image_test.cpp
          ${TEST_DIR}/stub_units_test.cpp ${TEST_DIR}/stub_test_support.cpp
  LIBRARIES kzsfx_core)

set(archives ${CMAKE_CURRENT_BINARY_DIR}/stub_archives)
add_custom_command(
  OUTPUT ${archives}.stamp
  COMMAND python3 ${TEST_DIR}/stub_archives.py ${archives}
  COMMAND ${CMAKE_COMMAND} -E touch ${archives}.stamp
  DEPENDS ${TEST_DIR}/stub_archives.py
  COMMENT "Making the self-extractor's test archives")
add_custom_target(stub_archives DEPENDS ${archives}.stamp)

if(WIN32)
  set(stub_zlib quillet::zlib)
  set(archives_seen_by_test "Z:${archives}")  # Wine's drive for the host's root
else()
  find_package(ZLIB REQUIRED)
  set(stub_zlib ZLIB::ZLIB)
  set(archives_seen_by_test "${archives}")
endif()
quillet_add_test(stub_engine_test
  SOURCES ${TEST_DIR}/stub_engine_test.cpp ${TEST_DIR}/stub_test_support.cpp
  LIBRARIES kzsfx_core ${stub_zlib}
  TIMEOUT 600)
add_dependencies(stub_engine_test stub_archives)
target_compile_definitions(stub_engine_test PRIVATE STUB_ARCHIVES_DIR="${archives_seen_by_test}")

if(NOT WIN32)
  # Real PE files from the cross compiler, stripped and not, for the image-end test.
  find_program(STUB_TEST_MINGW_CC i686-w64-mingw32-gcc-posix)
  if(STUB_TEST_MINGW_CC)
    set(tiny ${CMAKE_CURRENT_BINARY_DIR}/stub_tiny)
    add_custom_command(
      OUTPUT ${tiny}.exe ${tiny}_symbols.exe
      COMMAND ${STUB_TEST_MINGW_CC} -Os -s -mwindows ${TEST_DIR}/stub_tiny_program.c -o ${tiny}.exe
      COMMAND ${STUB_TEST_MINGW_CC} -O0 -g -mwindows ${TEST_DIR}/stub_tiny_program.c -o ${tiny}_symbols.exe
      DEPENDS ${TEST_DIR}/stub_tiny_program.c
      COMMENT "Building small PE files for the image-end test")
    add_custom_target(stub_tiny_programs DEPENDS ${tiny}.exe ${tiny}_symbols.exe)
    add_dependencies(stub_core_rules_test stub_tiny_programs)
    target_compile_definitions(stub_core_rules_test PRIVATE
      "STUB_TEST_REAL_EXES=\"${tiny}.exe\", \"${tiny}_symbols.exe\"")
  endif()

  # Peak memory is read with getrusage, which only posix has.
  quillet_add_test(stub_memory_test
    SOURCES ${TEST_DIR}/stub_memory_test.cpp ${TEST_DIR}/stub_test_support.cpp
    LIBRARIES kzsfx_core)
endif()

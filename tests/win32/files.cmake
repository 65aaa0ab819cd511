# File primitives and the handle wrapper, under Wine.
quillet_add_test(files_test
  SOURCES ${TEST_DIR}/files_test.cpp ${TEST_DIR}/win32_handles_test.cpp
  LIBRARIES quillet_base)

# Wine as root may write read-only files; a host-immutable file is one it cannot.
set(immutable_file ${CMAKE_CURRENT_BINARY_DIR}/files_immutable.bin)
string(REPLACE "/" "\\" immutable_file_dos "Z:${immutable_file}")
add_test(NAME files_immutable_setup COMMAND sh -c
  "chattr -i '${immutable_file}' 2>/dev/null; printf immutable > '${immutable_file}' && chattr +i '${immutable_file}' 2>/dev/null; exit 0")
add_test(NAME files_immutable_cleanup COMMAND sh -c
  "chattr -i '${immutable_file}' 2>/dev/null; rm -f '${immutable_file}'")
set_tests_properties(files_immutable_setup PROPERTIES FIXTURES_SETUP files_immutable)
set_tests_properties(files_immutable_cleanup PROPERTIES FIXTURES_CLEANUP files_immutable)
set_tests_properties(files_test PROPERTIES FIXTURES_REQUIRED files_immutable
  ENVIRONMENT "QUILLET_IMMUTABLE_FILE=${immutable_file_dos}")

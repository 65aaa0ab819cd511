# The static libarchive of scripts/build-deps: its compression libraries and CNG decryption.
quillet_add_test(archive_library_test
  SOURCES ${TEST_DIR}/archive_library_test.cpp
  LIBRARIES quillet::archive)

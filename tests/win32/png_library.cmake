# The read-only libpng of scripts/build-deps: exact BGRA from the banner's kind of PNG.
quillet_add_test(png_library_test
  SOURCES ${TEST_DIR}/png_library_test.cpp
  LIBRARIES quillet::png)

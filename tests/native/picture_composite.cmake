# The banner's compositing over the background colour: a pure function, tested in both builds.
quillet_add_test(picture_composite_test
  SOURCES ${TEST_DIR}/picture_composite_test.cpp ${PROJECT_SOURCE_DIR}/ui/picture_composite.cpp
  LIBRARIES quillet_base)
target_include_directories(picture_composite_test PRIVATE ${PROJECT_SOURCE_DIR})

# The banner's compositing over the background colour: a pure function, tested in both builds.
quillet_add_test(picture_composite_test
  SOURCES ${TEST_DIR}/picture_composite_test.cpp ${PROJECT_SOURCE_DIR}/ui/picture_composite.cpp
  LIBRARIES quillet_base)
target_include_directories(picture_composite_test PRIVATE ${PROJECT_SOURCE_DIR})

# The consistency check over the window designs the frame is handed: platform-neutral too.
quillet_add_test(window_design_test
  SOURCES ${TEST_DIR}/window_design_test.cpp ${PROJECT_SOURCE_DIR}/ui/design_check.cpp
  LIBRARIES quillet_base)

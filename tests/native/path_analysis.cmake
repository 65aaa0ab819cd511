# The converter's split of a dropped path and its globals.
quillet_add_test(path_analysis_test SOURCES ${TEST_DIR}/path_analysis_test.cpp LIBRARIES quillet_app_core)

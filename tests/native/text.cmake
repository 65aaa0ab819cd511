# The text operations.
quillet_add_test(text_test SOURCES ${TEST_DIR}/text_test.cpp LIBRARIES quillet_base)

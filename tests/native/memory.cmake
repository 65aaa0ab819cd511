# The allocator and the fatal report.
quillet_add_test(memory_test SOURCES ${TEST_DIR}/memory_test.cpp LIBRARIES quillet_base)
quillet_add_test(fatal_test SOURCES ${TEST_DIR}/fatal_test.cpp LIBRARIES quillet_base)

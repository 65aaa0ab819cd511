# The self-extractor's command line: splitting as the C runtime does, and the switches.
quillet_add_test(stub_command_line_test SOURCES ${TEST_DIR}/stub_command_line_test.cpp LIBRARIES kzsfx_command_line)

# The self-extractor's Windows destination and texts, under Wine.
quillet_add_test(stub_destination_test SOURCES ${TEST_DIR}/stub_destination_test.cpp LIBRARIES kzsfx_win32)
quillet_add_test(stub_messages_test SOURCES ${TEST_DIR}/stub_messages_test.cpp LIBRARIES kzsfx_win32)

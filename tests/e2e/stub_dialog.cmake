# The self-extractor's dialog end to end under Xvfb, driven with xdotool; keeps screenshots.
add_test(NAME stub_e2e_dialog
         COMMAND bash ${TEST_DIR}/stub_dialog_test.sh $<TARGET_FILE:kzsfx> ${CMAKE_CURRENT_BINARY_DIR}/stub_e2e/dialog)
set_tests_properties(stub_e2e_dialog PROPERTIES TIMEOUT 300 LABELS "wine;e2e" RESOURCE_LOCK desktop)

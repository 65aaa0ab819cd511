# The self-extractor end to end under Wine, unattended: one test per subject.
foreach(subject formats names hostile damage password cli zone large)
  add_test(NAME stub_e2e_${subject}
           COMMAND bash ${TEST_DIR}/stub_cli_test.sh ${subject} $<TARGET_FILE:kzsfx>
                   ${CMAKE_CURRENT_BINARY_DIR}/stub_e2e/${subject})
  set_tests_properties(stub_e2e_${subject} PROPERTIES TIMEOUT 600 LABELS "wine;e2e")
endforeach()

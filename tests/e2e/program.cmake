# The real program end to end under Wine and Xvfb: real drops with the drag driver, the
# produced executables run, message boxes answered the way a user would.
if(TARGET Quillet AND TARGET drag_driver)
  set(e2e_data ${CMAKE_CURRENT_BINARY_DIR}/e2e-data)
  add_test(NAME program_e2e_archives COMMAND bash ${TEST_DIR}/make_archives.sh ${e2e_data})
  set_tests_properties(program_e2e_archives PROPERTIES FIXTURES_SETUP e2e_archives)

  quillet_add_test(program_e2e_test
    SOURCES ${TEST_DIR}/program_e2e_test.cpp ${TEST_DIR}/quillet_process.cpp
    LIBRARIES quillet_stub_payload
    TIMEOUT 300)
  target_include_directories(program_e2e_test PRIVATE ${PROJECT_SOURCE_DIR})
  add_dependencies(program_e2e_test Quillet drag_driver)
  set_tests_properties(program_e2e_test PROPERTIES
    FIXTURES_REQUIRED e2e_archives
    RESOURCE_LOCK desktop
    ENVIRONMENT "QUILLET_EXE=$<TARGET_FILE:Quillet>;DRAG_DRIVER=$<TARGET_FILE:drag_driver>;E2E_DATA=${e2e_data};E2E_ARTIFACTS=${CMAKE_CURRENT_BINARY_DIR}")

  # A dropped name that best-fit mapping would turn into a command, under code page 1252.
  add_test(NAME program_e2e_test_cp1252
    COMMAND program_e2e_test --gtest_filter=ProgramTest.ANameWithLookalikeQuotationMarksRunsNothing)
  set_tests_properties(program_e2e_test_cp1252 PROPERTIES
    TIMEOUT 120 LABELS wine
    FIXTURES_REQUIRED e2e_archives
    RESOURCE_LOCK desktop
    ENVIRONMENT "QUILLET_WINE_LANG=en_US.UTF-8;QUILLET_EXE=$<TARGET_FILE:Quillet>;DRAG_DRIVER=$<TARGET_FILE:drag_driver>;E2E_DATA=${e2e_data};E2E_ARTIFACTS=${CMAKE_CURRENT_BINARY_DIR}")
endif()

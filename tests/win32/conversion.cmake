# The drop handler end to end with Wine's command interpreter; message boxes are answered by
# a helper thread.
quillet_add_test(conversion_test
  SOURCES ${TEST_DIR}/conversion_test.cpp ${PROJECT_SOURCE_DIR}/app/conversion.cpp
          ${PROJECT_SOURCE_DIR}/ui/message_box.cpp ${PROJECT_SOURCE_DIR}/ui/process.cpp
          ${PROJECT_SOURCE_DIR}/ui/process_watch.cpp
  LIBRARIES quillet_app_core quillet_stub_payload user32
  TIMEOUT 240)
set_tests_properties(conversion_test PROPERTIES RESOURCE_LOCK desktop)

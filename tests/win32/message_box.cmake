# Message boxes on the virtual desktop, answered by a helper thread.
quillet_add_test(message_box_test
  SOURCES ${TEST_DIR}/message_box_test.cpp ${PROJECT_SOURCE_DIR}/ui/message_box.cpp
  LIBRARIES quillet_base user32
  TIMEOUT 120)
set_tests_properties(message_box_test PROPERTIES RESOURCE_LOCK desktop)

# The application frame and the main window: frame_probe in its own process, watched from
# outside; the window's pure helpers and the stored design in process.
string(REPLACE "/" "\\" frame_output_dos "Z:${CMAKE_CURRENT_BINARY_DIR}")
string(REPLACE "/" "\\" frame_probe_dos "Z:${CMAKE_BINARY_DIR}/tools/frame_probe.exe")
quillet_add_test(frame_test
  SOURCES ${TEST_DIR}/frame_test.cpp
  LIBRARIES quillet_resources quillet_ui quillet::png user32 gdi32
  TIMEOUT 240)
add_dependencies(frame_test frame_probe)
set_tests_properties(frame_test PROPERTIES RESOURCE_LOCK desktop
  ENVIRONMENT "QUILLET_FRAME_PROBE=${frame_probe_dos};QUILLET_FRAME_OUTPUT=${frame_output_dos}")

quillet_add_test(window_layout_test
  SOURCES ${TEST_DIR}/window_layout_test.cpp
  LIBRARIES quillet_app)

# Esc and Alt+F4 as real key presses through the X server.
add_test(NAME frame_keys COMMAND bash ${TEST_DIR}/frame_keys.sh ${PROJECT_SOURCE_DIR}/scripts/wine-run
         $<TARGET_FILE:frame_probe> ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(frame_keys PROPERTIES RESOURCE_LOCK desktop SKIP_RETURN_CODE 77 TIMEOUT 120
                     LABELS "wine")

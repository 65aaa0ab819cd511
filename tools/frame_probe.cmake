# The application frame on the stored design with extra bindings, logging its events.
add_executable(frame_probe ${CMAKE_CURRENT_LIST_DIR}/frame_probe.cpp)
target_link_libraries(frame_probe PRIVATE quillet_ui quillet_resources quillet_rc quillet_operator_new)
quillet_gui_executable(frame_probe)

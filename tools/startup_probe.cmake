# A GUI program that reports its start-up information (for the process-launch tests).
add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
quillet_gui_executable(startup_probe)

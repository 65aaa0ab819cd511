# The Quillet executable: the converter, the window services and the resources.
if(TARGET quillet_app AND TARGET quillet_rc)
  add_executable(Quillet main_win32.cpp $<TARGET_OBJECTS:quillet_rc>)
  quillet_gui_executable(Quillet)
  target_link_libraries(Quillet PRIVATE quillet_app quillet_operator_new)
  target_link_options(Quillet PRIVATE -s -Wl,--gc-sections)
  install(TARGETS Quillet RUNTIME DESTINATION .)
endif()

# The drop target: the OLE object with fake dragged data, the unit with a stand-in frame, and
# real drags (in process, and from drag_driver in another process) onto registered windows.
set(drop_target_sources
  ${PROJECT_SOURCE_DIR}/ui/drop_settings.cpp
  ${PROJECT_SOURCE_DIR}/ui/drop_effect.cpp
  ${PROJECT_SOURCE_DIR}/ui/dropped_data.cpp
  ${PROJECT_SOURCE_DIR}/ui/ole_drop_target.cpp)
set(drop_target_libraries quillet_base ole32 shell32 user32 uuid)

quillet_add_test(drop_target_test
  SOURCES ${TEST_DIR}/drop_target_test.cpp ${drop_target_sources}
  LIBRARIES ${drop_target_libraries})

quillet_add_test(drop_target_unit_test
  SOURCES ${TEST_DIR}/drop_target_unit_test.cpp ${TEST_DIR}/fake_frame.cpp
          ${PROJECT_SOURCE_DIR}/ui/drop_target_unit.cpp ${drop_target_sources}
  LIBRARIES ${drop_target_libraries})

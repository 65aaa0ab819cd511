# The drop target: the OLE object with fake dragged data, the unit with a stand-in frame, and
# real drags (in process, and from drag_driver in another process) onto registered windows.
set(drop_target_sources
  ${PROJECT_SOURCE_DIR}/ui/drop_settings.cpp
  ${PROJECT_SOURCE_DIR}/ui/drop_effect.cpp
  ${PROJECT_SOURCE_DIR}/ui/dropped_data.cpp
  ${PROJECT_SOURCE_DIR}/ui/ole_drop_target.cpp)
set(drop_target_libraries quillet_base ole32 shell32 user32 uuid)
set(drop_target_unit_sources
  ${PROJECT_SOURCE_DIR}/ui/drop_target_unit.cpp
  ${PROJECT_SOURCE_DIR}/ui/window_class.cpp
  ${PROJECT_SOURCE_DIR}/ui/window_unit.cpp)

quillet_add_test(drop_target_test
  SOURCES ${TEST_DIR}/drop_target_test.cpp ${drop_target_sources}
  LIBRARIES ${drop_target_libraries})
# Dropped names again under code page 1252, where best-fit mapping finds the most lookalikes.
add_test(NAME drop_target_test_cp1252
  COMMAND drop_target_test --gtest_filter=DropTargetTest.DroppedNamesConvertExactlyOrShowAQuestionMark)
set_tests_properties(drop_target_test_cp1252 PROPERTIES
  TIMEOUT 120 LABELS wine ENVIRONMENT QUILLET_WINE_LANG=en_US.UTF-8)

quillet_add_test(drop_target_unit_test
  SOURCES ${TEST_DIR}/drop_target_unit_test.cpp ${TEST_DIR}/fake_frame.cpp
          ${drop_target_unit_sources} ${drop_target_sources}
  LIBRARIES ${drop_target_libraries})

# A window with a registered DropTarget that logs its events, for the cross-process drags.
add_executable(drop_window ${TEST_DIR}/drop_window.cpp ${TEST_DIR}/fake_frame.cpp
               ${drop_target_unit_sources} ${drop_target_sources})
target_link_libraries(drop_window PRIVATE ${drop_target_libraries})
quillet_gui_executable(drop_window)

quillet_add_test(drop_drag_test
  SOURCES ${TEST_DIR}/drop_drag_test.cpp ${TEST_DIR}/fake_frame.cpp
          ${PROJECT_SOURCE_DIR}/tools/file_drag.cpp
          ${drop_target_unit_sources} ${drop_target_sources}
  LIBRARIES ${drop_target_libraries}
  TIMEOUT 240)
target_compile_definitions(drop_drag_test PRIVATE
  DROP_WINDOW_EXE="$<TARGET_FILE:drop_window>" DRAG_DRIVER_EXE="$<TARGET_FILE:drag_driver>")
add_dependencies(drop_drag_test drop_window drag_driver)
set_tests_properties(drop_drag_test PROPERTIES RESOURCE_LOCK desktop)

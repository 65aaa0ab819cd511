# Drops files onto another process's window with a real OLE drag (tests and scripts/drop).
add_executable(drag_driver ${CMAKE_CURRENT_LIST_DIR}/drag_driver.cpp ${CMAKE_CURRENT_LIST_DIR}/file_drag.cpp)
target_include_directories(drag_driver PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(drag_driver PRIVATE ole32 shell32 user32 uuid)

# How the self-extractor ends when the C++ runtime cannot go on: it is built without exceptions,
# so running out of memory and broken library preconditions must still end with its exit codes.
quillet_add_test(stub_runtime_stops_test
  SOURCES ${TEST_DIR}/stub_runtime_stops_test.cpp ${PROJECT_SOURCE_DIR}/stub/win32/runtime_stops.cpp
           ${PROJECT_SOURCE_DIR}/stub/win32/text.cpp)
target_include_directories(stub_runtime_stops_test PRIVATE ${PROJECT_SOURCE_DIR})

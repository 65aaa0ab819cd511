# Process launch, observed through a probe program that reports how it was started.
quillet_add_test(process_test
  SOURCES ${TEST_DIR}/process_test.cpp ${PROJECT_SOURCE_DIR}/ui/process.cpp
  LIBRARIES quillet_base
  TIMEOUT 120)
target_compile_definitions(process_test PRIVATE STARTUP_PROBE="$<TARGET_FILE:startup_probe>")
add_dependencies(process_test startup_probe)

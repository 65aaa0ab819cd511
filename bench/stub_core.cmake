# `ninja bench_stub_core`: the self-extractor core's extraction speed against 7z's (native).
if(NOT WIN32)
  add_executable(stub_core_bench EXCLUDE_FROM_ALL
    ${CMAKE_CURRENT_SOURCE_DIR}/stub_core_bench.cpp ${PROJECT_SOURCE_DIR}/tests/native/stub_test_support.cpp)
  target_include_directories(stub_core_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/native)
  target_link_libraries(stub_core_bench PRIVATE kzsfx_core)
  add_custom_target(bench_stub_core
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/stub_core.sh $<TARGET_FILE:stub_core_bench>
    DEPENDS stub_core_bench
    USES_TERMINAL)
endif()

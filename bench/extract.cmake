# `bench_extract`: the core as a native command, the contender bench/run times.
if(NOT WIN32)
  add_executable(bench_extract EXCLUDE_FROM_ALL
    ${CMAKE_CURRENT_SOURCE_DIR}/bench_extract.cpp ${CMAKE_CURRENT_SOURCE_DIR}/posix_files.cpp)
  target_include_directories(bench_extract PRIVATE ${PROJECT_SOURCE_DIR}/tests/native ${CMAKE_CURRENT_SOURCE_DIR})
  find_package(Threads REQUIRED)
  target_link_libraries(bench_extract PRIVATE kzsfx_core Threads::Threads)
endif()

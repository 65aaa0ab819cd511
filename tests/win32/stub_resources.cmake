# What the built kzsfx.exe carries: its manifest, dialog templates and version information.
quillet_add_test(stub_resources_test SOURCES ${TEST_DIR}/stub_resources_test.cpp LIBRARIES version)
target_include_directories(stub_resources_test PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(stub_resources_test PRIVATE KZSFX_EXE="$<TARGET_FILE:kzsfx>")
add_dependencies(stub_resources_test kzsfx)

# The embedded self-extractor stub: its image, its place in constant data and its imports.
quillet_add_test(stub_payload_test
  SOURCES ${TEST_DIR}/stub_payload_test.cpp
  LIBRARIES quillet_stub_payload quillet_base)
target_compile_definitions(stub_payload_test PRIVATE QUILLET_STUB_FILE="$<TARGET_FILE:kzsfx>")

# The text operations against a plain reference model.
quillet_add_fuzz_target(text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/text_fuzz.cpp UNDER_TEST quillet_base)

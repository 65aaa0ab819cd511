# The zip central directory walk and its name decisions.
quillet_add_fuzz_target(zip_names SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zip_names_fuzz.cpp UNDER_TEST kzsfx_core)

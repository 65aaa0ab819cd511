# The converter's split of a dropped path.
quillet_add_fuzz_target(path_analysis SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/path_analysis_fuzz.cpp
                        UNDER_TEST quillet_app_core quillet_base)

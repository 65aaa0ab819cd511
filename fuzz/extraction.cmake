# The self-extractor core over whatever bytes follow a PE head: listing, testing and
# extracting into a destination that checks every path it is handed.
quillet_add_fuzz_target(extraction SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/extraction_fuzz.cpp UNDER_TEST kzsfx_core)

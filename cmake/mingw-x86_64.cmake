# 64-bit Windows (PE32+, x86-64): the same programs for machines that cannot run 32-bit code.
set(QUILLET_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

# 32-bit Windows (PE32, i386): the product.
set(QUILLET_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

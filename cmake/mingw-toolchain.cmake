# Cross-compiles for Windows with Debian's MinGW-w64 posix-thread toolchain, for the architecture
# that the including toolchain file names in QUILLET_MINGW_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLET_MINGW_ARCH})
set(quillet_mingw_host ${QUILLET_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${quillet_mingw_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quillet_mingw_host}-g++-posix)
set(CMAKE_RC_COMPILER ${quillet_mingw_host}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${quillet_mingw_host} $ENV{HOME}/.cache/quillet/mingw-${QUILLET_MINGW_ARCH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under Wine; the script keeps one prefix, one wineserver and one Xvfb alive per
# architecture. QuilletTesting.cmake appends the Wine of this build's architecture (--arch).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

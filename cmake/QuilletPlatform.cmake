# Platform settings shared by every target: static Windows executables, and the third-party
# libraries that scripts/build-deps builds for MinGW into one prefix.
if(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Only DLLs that Windows ships may be imported: the C and C++ runtimes go in statically.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(QUILLET_DEPS_PREFIX "$ENV{HOME}/.cache/quillet/mingw-${CMAKE_SYSTEM_PROCESSOR}" CACHE PATH
      "MinGW third-party prefix (scripts/build-deps)")
  list(PREPEND CMAKE_PREFIX_PATH ${QUILLET_DEPS_PREFIX})
endif()

# quillet::archive and quillet::png, the same names in both builds.
include(QuilletDeps)

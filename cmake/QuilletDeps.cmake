# The third-party libraries under one name in both builds: quillet::archive (libarchive for
# reading, with its compression libraries) and quillet::png (libpng's simplified reader, with zlib).
# Windows: the static, size-optimised libraries that scripts/build-deps puts in one prefix.
# Native: Debian's libarchive-dev (with liblzma-dev) and libpng-dev.
if(WIN32)
  set(deps_lib ${QUILLET_DEPS_PREFIX}/lib)
  set(deps_include ${QUILLET_DEPS_PREFIX}/include)
  foreach(lib archive z bz2 lzma zstd png16)
    if(NOT EXISTS ${deps_lib}/lib${lib}.a)
      message(FATAL_ERROR "${deps_lib}/lib${lib}.a is missing: run scripts/build-deps")
    endif()
  endforeach()

  function(quillet_static_import name file)
    add_library(${name} STATIC IMPORTED)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${file}
                          INTERFACE_INCLUDE_DIRECTORIES ${deps_include})
  endfunction()
  # Our own zlib, named by file, so that MinGW's libz.dll.a can never win.
  quillet_static_import(quillet::zlib ${deps_lib}/libz.a)
  quillet_static_import(quillet::bz2 ${deps_lib}/libbz2.a)
  quillet_static_import(quillet::lzma ${deps_lib}/liblzma.a)
  quillet_static_import(quillet::zstd ${deps_lib}/libzstd.a)
  set_property(TARGET quillet::lzma PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)

  quillet_static_import(quillet::archive ${deps_lib}/libarchive.a)
  # bcrypt: the Windows CNG provider behind WinZip AES; a system DLL.
  set_target_properties(quillet::archive PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC
    INTERFACE_LINK_LIBRARIES "quillet::zstd;quillet::lzma;quillet::bz2;quillet::zlib;bcrypt")

  quillet_static_import(quillet::png ${deps_lib}/libpng16.a)
  set_property(TARGET quillet::png PROPERTY INTERFACE_LINK_LIBRARIES quillet::zlib)

  # The libraries are built with one section per function and object, so the linker can drop
  # what a program does not call (most of libarchive for a reader).
  foreach(lib quillet::archive quillet::png)
    set_property(TARGET ${lib} PROPERTY INTERFACE_LINK_OPTIONS -Wl,--gc-sections)
  endforeach()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QUILLET_LIBARCHIVE REQUIRED IMPORTED_TARGET libarchive)
  # liblzma directly too: the stub limits the decoders libarchive starts (decoder_limits.cpp).
  pkg_check_modules(QUILLET_LIBLZMA REQUIRED IMPORTED_TARGET liblzma)
  add_library(quillet::lzma INTERFACE IMPORTED)
  target_link_libraries(quillet::lzma INTERFACE PkgConfig::QUILLET_LIBLZMA)
  find_package(PNG REQUIRED)
  add_library(quillet::archive INTERFACE IMPORTED)
  target_link_libraries(quillet::archive INTERFACE PkgConfig::QUILLET_LIBARCHIVE)
  add_library(quillet::png INTERFACE IMPORTED)
  target_link_libraries(quillet::png INTERFACE PNG::PNG)
endif()

# QUILLET_TIDY: clang-tidy checks each project C++ file as it compiles, against the root
# .clang-tidy (the naming of STYLE.md). Included after GoogleTest, whose sources it skips.
# clang knows no execution character set but UTF-8, refuses narrowing in braces that GCC
# accepts (Win32's BOOLEAN fields), and for a MinGW build needs the target and GCC's C++
# library headers, which CMake has already asked the compiler for.
option(QUILLET_TIDY "Run clang-tidy on every C++ file while building" OFF)
if(QUILLET_TIDY)
  find_program(QUILLET_CLANG_TIDY NAMES clang-tidy clang-tidy-14 REQUIRED)
  set(tidy ${QUILLET_CLANG_TIDY} --quiet --extra-arg=-fexec-charset=UTF-8
           --extra-arg=-Wno-c++11-narrowing)
  if(CMAKE_CROSSCOMPILING)
    list(APPEND tidy --extra-arg=--target=${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32
         --extra-arg=-nostdinc++)
    foreach(dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
      if(dir MATCHES "/c\\+\\+")
        list(APPEND tidy --extra-arg=-isystem${dir})
      endif()
    endforeach()
  endif()
  set(CMAKE_CXX_CLANG_TIDY ${tidy})
endif()

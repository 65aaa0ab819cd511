# quillet_delay_import(TARGET DLL...): links TARGET against delay-loading import libraries of the
# named system DLLs, made from MinGW's ordinary ones and found before them. A DLL that is no
# KnownDLL is then loaded on its first call, after the program has restricted DLL search to
# System32, instead of from the program's own folder before WinMain runs.
function(quillet_delay_import target)
  string(REGEX REPLACE "windres$" "" tool_prefix ${CMAKE_RC_COMPILER})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/delayed_${target})
  set(libraries)
  foreach(dll IN LISTS ARGN)
    find_library(quillet_system_${dll} NAMES lib${dll}.a ${dll} REQUIRED)
    add_custom_command(
      OUTPUT ${dir}/lib${dll}.a
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/delay_import.sh ${tool_prefix}nm ${tool_prefix}dlltool
              ${quillet_system_${dll}} ${dll}.dll ${dir}/lib${dll}.a
      DEPENDS ${PROJECT_SOURCE_DIR}/cmake/delay_import.sh
      COMMENT "Making a delay-loading import library for ${dll}.dll")
    list(APPEND libraries ${dir}/lib${dll}.a)
  endforeach()
  add_custom_target(${target}_delayed_imports DEPENDS ${libraries})
  add_dependencies(${target} ${target}_delayed_imports)
  target_link_directories(${target} PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()

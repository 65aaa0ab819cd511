# `ninja bench_stub_size`: the stub's size against its goal, and what each library adds to it.
if(WIN32)
  add_custom_target(bench_stub_size
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/stub_size.sh ${CMAKE_BINARY_DIR}
    DEPENDS kzsfx
    USES_TERMINAL)
endif()

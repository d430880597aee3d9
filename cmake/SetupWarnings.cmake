# Warning flags shared by every target of the project.
set(SETUP_WARNING_FLAGS
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wformat=2 -Wnull-dereference -Wimplicit-fallthrough
  -Wmisleading-indentation)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND SETUP_WARNING_FLAGS -Wduplicated-cond -Wlogical-op)
endif()
if(SETUP_WERROR)
  list(APPEND SETUP_WARNING_FLAGS -Werror)
endif()

# Applies the project's warnings to a target of our own (not to third-party code).
function(setup_target_warnings target)
  target_compile_options(${target} PRIVATE ${SETUP_WARNING_FLAGS})
endfunction()

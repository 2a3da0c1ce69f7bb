# Our own targets' warnings (not those of the GoogleTest sources we build
# alongside). Whether a warning stops the build is the build's choice: the
# presets CI uses set CMAKE_COMPILE_WARNING_AS_ERROR.
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wcast-align)
endfunction()

# Warnings are errors on every toolchain, for our own targets (not for the
# GoogleTest sources we build alongside).
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wcast-align)
endfunction()

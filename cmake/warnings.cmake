# Warnings are errors on every compiler the project is built with.
function(sorvak_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual
                                           -Wformat=2 -Wundef -Werror)
endfunction()

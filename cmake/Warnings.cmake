# Warnings are errors for the project's own targets; third-party headers come in as system headers.
function(quillon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

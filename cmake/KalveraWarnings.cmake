# Warnings for the project's own targets; third-party headers come in as system headers.
function(kalvera_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KALVERA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

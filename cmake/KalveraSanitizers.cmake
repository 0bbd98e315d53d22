# Applies KALVERA_SANITIZE to every target of the build. The runtimes' options
# are built into the test programs (autotests/support/entry/sanitizer_options.cpp).
if(KALVERA_SANITIZE)
  set(_flags -fsanitize=${KALVERA_SANITIZE} -fno-omit-frame-pointer)
  if(KALVERA_SANITIZE MATCHES "undefined")
    # A UBSan report must fail the test, not just print.
    list(APPEND _flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_flags})
  add_link_options(${_flags})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Clang links its static sanitizer runtime into programs only, and the
    # libraries are linked with --no-undefined: all take the shared runtime,
    # found through the build's run path.
    add_link_options(-shared-libsan)
    execute_process(
      COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-${CMAKE_SYSTEM_PROCESSOR}.so
      OUTPUT_VARIABLE _runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(_runtime_dir "${_runtime}" DIRECTORY)
    list(APPEND CMAKE_BUILD_RPATH "${_runtime_dir}")
  endif()
endif()

# Applies KALVERA_SANITIZE to every target of the build. The runtimes' options
# are built into the test programs (autotests/common/sanitizer_options.cpp).
if(KALVERA_SANITIZE)
  set(_flags -fsanitize=${KALVERA_SANITIZE} -fno-omit-frame-pointer)
  if(KALVERA_SANITIZE MATCHES "undefined")
    # A UBSan report must fail the test, not just print.
    list(APPEND _flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_flags})
  add_link_options(${_flags})
endif()

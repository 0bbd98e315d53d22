# Applies KALVERA_SANITIZE to every target of the build, and sets
# KALVERA_SANITIZER_ENV for the tests: any report fails the test.
set(KALVERA_SANITIZER_ENV "")
if(KALVERA_SANITIZE)
  set(_flags -fsanitize=${KALVERA_SANITIZE} -fno-omit-frame-pointer)
  if(KALVERA_SANITIZE MATCHES "undefined")
    # A UBSan report must fail the test, not just print.
    list(APPEND _flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_flags})
  add_link_options(${_flags})

  set(_supp ${PROJECT_SOURCE_DIR}/autotests/sanitizers)
  if(KALVERA_SANITIZE MATCHES "thread")
    set(KALVERA_SANITIZER_ENV
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${_supp}/tsan.supp")
  elseif(KALVERA_SANITIZE MATCHES "address")
    set(KALVERA_SANITIZER_ENV
      # Qt's libraries have no frame pointers: only the slow unwinder records
      # the whole allocation stack that a leak suppression is matched against.
      "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1:fast_unwind_on_malloc=0"
      "LSAN_OPTIONS=suppressions=${_supp}/lsan.supp"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
endif()

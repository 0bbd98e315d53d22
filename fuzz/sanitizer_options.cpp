// Options for the sanitizer runtimes of the fuzz targets, built in so that
// they apply however a target is started (scripts/run-fuzz, or by hand with a
// crashing input).
#define KALVERA_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

KALVERA_SANITIZER_HOOK const char* __asan_default_options() {
    // The targets take the shared runtime (see cmake/KalveraSanitizers.cmake),
    // which libFuzzer's C++ library precedes in the load order; nothing of
    // that library is intercepted, so the order does no harm.
    return "verify_asan_link_order=0:detect_leaks=1:strict_string_checks=1:"
           "check_initialization_order=1:detect_stack_use_after_return=1";
}

KALVERA_SANITIZER_HOOK const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

KALVERA_SANITIZER_HOOK const char* __lsan_default_suppressions() {
    // Qt 5's offscreen platform plug-in never deletes the screen and cursor it
    // creates with the application object.
    return "leak:QGuiApplicationPrivate::createPlatformIntegration\n";
}

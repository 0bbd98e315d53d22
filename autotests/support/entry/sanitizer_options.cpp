// Options for the sanitizer runtimes, built into every test program so that
// they apply however the program is started (CTest, by hand, a debugger).
// In builds without sanitizers nothing calls these functions.
#define KALVERA_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

// Any report fails the test that produced it.
KALVERA_SANITIZER_HOOK const char* __asan_default_options() {
    // Qt's libraries have no frame pointers: only the slow unwinder records the
    // whole allocation stack that a leak suppression is matched against.
    return "detect_leaks=1:strict_string_checks=1:check_initialization_order=1:"
           "detect_stack_use_after_return=1:fast_unwind_on_malloc=0";
}

KALVERA_SANITIZER_HOOK const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

KALVERA_SANITIZER_HOOK const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1";
}

// Suppressions name code outside this project only, each with its reason.
KALVERA_SANITIZER_HOOK const char* __tsan_default_suppressions() {
    return "";
}

KALVERA_SANITIZER_HOOK const char* __lsan_default_suppressions() {
    // Qt 5's offscreen platform plug-in (the GUI tests' platform) never deletes
    // the screen and cursor it creates with the application object.
    // Qt Quick's image cache of the main thread, which holds the controls'
    // images and their textures, is never torn down.
    return "leak:QGuiApplicationPrivate::createPlatformIntegration\n"
           "leak:QQuickTextureFactory::textureFactoryForImage\n"
           "leak:QSGRenderContext::textureForFactory\n";
}

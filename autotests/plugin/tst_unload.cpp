// A photography host that loads and unloads its device plug-in, which links
// the SDK: once the plug-in's rotation thread has run, unloading must not
// unmap the SDK's code under it, since the thread leaves the host's notice
// through that code; the plug-in's own code goes once its teardown has waited
// for its notices.
#include "ProcessEventsUntil.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace std::chrono_literals;

namespace {

template <typename Function>
Function entry(void* plugin, const char* name) {
    return reinterpret_cast<Function>(dlsym(plugin, name));
}

TEST(UnloadedPlugin, TheSdkStaysLoadedOnceARotationThreadHasRun) {
    ASSERT_EQ(dlopen(KALVERA_SDK_SONAME, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the SDK comes with the plug-in only";
    void* const plugin = dlopen(KALVERA_HOST_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    const auto startShoot = entry<bool (*)()>(plugin, "hostPluginStartShoot");
    const auto noticed = entry<bool (*)()>(plugin, "hostPluginNoticed");
    const auto tearDown = entry<void (*)()>(plugin, "hostPluginTearDown");
    ASSERT_TRUE(startShoot && noticed && tearDown);

    ASSERT_TRUE(startShoot());
    ASSERT_TRUE(processEventsUntil(noticed, 20s));
    // The host's teardown waits for its notices, whose code is the plug-in's.
    tearDown();
    dlclose(plugin);
    EXPECT_EQ(dlopen(KALVERA_HOST_PLUGIN, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the plug-in went";
    EXPECT_NE(dlopen(KALVERA_SDK_SONAME, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the SDK was unmapped under its rotation thread";
}

} // namespace

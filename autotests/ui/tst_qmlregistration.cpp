// The library's QML extension plug-in class, which Qt's plug-in loader never
// picks up by itself.
#include "LxRegisterPlugin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(QmlRegistration, TheLibraryCarriesNoPluginEntryPoint) {
    LxRegisterPlugin plugin;
    plugin.registerTypes(nullptr);
    EXPECT_EQ(plugin.parent(), nullptr);
    // Nothing of its own to call from QML.
    EXPECT_EQ(plugin.metaObject()->methodCount(),
              QQmlExtensionPlugin::staticMetaObject.methodCount());
    // What Q_PLUGIN_METADATA would add, and Qt's loader looks for.
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "qt_plugin_instance"), nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "qt_plugin_query_metadata"), nullptr);
}

} // namespace

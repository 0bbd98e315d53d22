#include "LxRegisterPlugin.h"

LxRegisterPlugin::LxRegisterPlugin()
    : QQmlExtensionPlugin(nullptr) {}

void LxRegisterPlugin::registerTypes(const char*) {}

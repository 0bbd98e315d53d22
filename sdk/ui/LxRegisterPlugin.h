#ifndef LXREGISTERPLUGIN_H
#define LXREGISTERPLUGIN_H

#include "KalveraTurntableSDKGlobal.h"

#include <QQmlExtensionPlugin>

/// The library's QML extension plug-in class.
///
/// It registers no QML types: the settings view reaches the library's objects
/// through context properties. The library carries no plug-in metadata or entry
/// point, so Qt's plug-in loader never creates one; nothing in the library does
/// either. It stays because it is part of the library's exported interface,
/// which hosts link against: a host built against it may make one.
class LX_SDK_EXPORT LxRegisterPlugin : public QQmlExtensionPlugin {
    Q_OBJECT

public:
    /// A plug-in object without a parent.
    LxRegisterPlugin();

    /// Registers nothing, whatever `uri` is (a null one included).
    void registerTypes(const char* uri) override;
};

#endif

// The plug-in behind the module's qmldir: what a QML-only host (qml,
// qmlscene) loads on `import Kalvera.Turntable 1.0`. The types live in the
// SDK library; the plug-in brings the settings view's file, which the library
// leaves to the program.
#include "KalveraTurntableQml.h"

#include <QQmlExtensionPlugin>

class KalveraTurntableQmlPlugin : public QQmlExtensionPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char*) override { KalveraTurntableQml::registerTypes(); }
};

#include "KalveraTurntableQmlPlugin.moc"

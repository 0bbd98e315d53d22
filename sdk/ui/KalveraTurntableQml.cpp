#include "KalveraTurntableQml.h"

#include "KalveraTurntable.h"
#include "TurntableSettingsView.h"

#include <QtQml>

void KalveraTurntableQml::registerTypes() {
    // A host that registers the types and also finds the plug-in on its import
    // path would otherwise register them twice.
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    const char* const uri = "Kalvera.Turntable";
    qmlRegisterType<KalveraTurntable>(uri, 1, 0, "KalveraTurntable");
    qmlRegisterType<TurntableSettingsView>(uri, 1, 0, "TurntableSettingsView");
    qmlRegisterModule(uri, 1, 0);
}

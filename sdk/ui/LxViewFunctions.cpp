#include "LxViewFunctions.h"

#include <QJSValue>
#include <QObject>

namespace LxViewFunctions {

QVariant saveSettings(QObject* view, unsigned long turntableIndex) {
    QVariant settings;
    // The view knows models by their int index; "none selected" (all bits
    // set) becomes -1.
    QMetaObject::invokeMethod(view, "saveSettings", Qt::AutoConnection,
                              Q_RETURN_ARG(QVariant, settings),
                              Q_ARG(QVariant, QVariant(static_cast<int>(turntableIndex))));
    // A QML function hands back its JavaScript value as it is; as plain Qt
    // data an object is a map and an array a list.
    if (settings.userType() == qMetaTypeId<QJSValue>()) {
        return settings.value<QJSValue>().toVariant();
    }
    return settings;
}

void loadSettings(QObject* view, const QVariant& settings) {
    QMetaObject::invokeMethod(view, "loadSettings", Qt::AutoConnection, Q_ARG(QVariant, settings));
}

void postDeviceSettings(QObject* view, int modelIndex, const QVariant& deviceSettings) {
    QMetaObject::invokeMethod(view, "updateDeviceSettingsUI", Qt::QueuedConnection,
                              Q_ARG(QVariant, QVariant(modelIndex)),
                              Q_ARG(QVariant, deviceSettings));
}

} // namespace LxViewFunctions

#ifndef LXVIEWFUNCTIONS_H
#define LXVIEWFUNCTIONS_H

#include <QVariant>

class QObject;

// Calls of the functions that the settings view's root item provides, by
// name, every argument and result a QVariant. A null view, or one without
// the function, makes a call do nothing (Qt warns about a missing function).
namespace LxViewFunctions {

// "saveSettings": what the view returned for the model `turntableIndex`, as
// plain Qt data (a JavaScript object is a QVariantMap); an empty variant when
// nothing was returned. A direct call on the view's thread.
QVariant saveSettings(QObject* view, unsigned long turntableIndex);
// "loadSettings": hands the settings file's content to the view.
void loadSettings(QObject* view, const QVariant& settings);
// "updateDeviceSettingsUI": queued, so the view runs it from its event loop,
// after the caller has returned, with copies of both arguments; calls made
// from one thread arrive in the order made.
void postDeviceSettings(QObject* view, int modelIndex, const QVariant& deviceSettings);

} // namespace LxViewFunctions

#endif

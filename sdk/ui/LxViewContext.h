#ifndef LXVIEWCONTEXT_H
#define LXVIEWCONTEXT_H

#include <QStringList>

class QObject;
class QQmlContext;
class QQmlEngine;
class QQuickItem;

// The QML context the settings view "qrc:/qml/LxTurntableUIFrameView.qml"
// expects: the names it reads its models and its control object by, and the
// making of its item. Shared by the controller's view and the QML module's.
namespace LxViewContext {

// Publishes in `context` the frame counts the view offers, the user's custom
// angles `customAngles` (an LxCustomAnglesModel) and `standardDevices`, the
// names of the models whose settings "Custom" can import (row i is model
// index i + 1).
void publishModels(QQmlContext* context, QObject* customAngles, const QStringList& standardDevices);
// Publishes `customAngles` again, so that the view's bindings see a list that
// was set whole.
void publishCustomAngles(QQmlContext* context, QObject* customAngles);
// Publishes the object the view sends its commands to (the preview, the
// shutter test, the import); the view keeps its commands off until then.
void publishControl(QQmlContext* context, QObject* control);
// The view's item made by `engine` in `context`; null when the view's file is
// missing, does not compile or has no item at its root.
QQuickItem* createViewItem(QQmlEngine* engine, QQmlContext* context);
// Whether the program holds the view's file.
bool viewFileExists();

} // namespace LxViewContext

#endif

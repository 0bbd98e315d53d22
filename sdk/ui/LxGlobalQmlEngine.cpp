#include "LxGlobalQmlEngine.h"

#include <QQmlEngine>

namespace {

// Never deleted: a view item the host still holds may outlive any point at
// which the library could tear the engine down.
QQmlEngine* g_qmlEngine = nullptr;

} // namespace

QQmlEngine* globalQmlEngine() {
    if (!g_qmlEngine) {
        g_qmlEngine = new QQmlEngine();
    }
    return g_qmlEngine;
}

#include "HostWindow.h"

#include "LxGlobalQmlEngine.h"
#include "TurntableHost.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <stdexcept>

HostWindow::HostWindow(TurntableHost& host)
    : host(host)
    , context(std::make_unique<QQmlContext>(globalQmlEngine()->rootContext())) {
    context->setContextProperty(QStringLiteral("turntableHost"), &host);
    QQmlComponent component(globalQmlEngine(), QUrl(QStringLiteral("qrc:/qml/HostWindow.qml")));
    quickWindow.reset(qobject_cast<QQuickWindow*>(component.create(context.get())));
    if (!quickWindow) {
        throw std::runtime_error("The host window cannot be created: " +
                                 component.errorString().toStdString());
    }
    host.openView(quickWindow->findChild<QQuickItem*>(QStringLiteral("settingsArea")));
}

HostWindow::~HostWindow() {
    host.closeView();
}

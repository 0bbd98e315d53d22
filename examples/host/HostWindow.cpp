#include "HostWindow.h"

#include "LxGlobalQmlEngine.h"
#include "TurntableHost.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <stdexcept>

HostWindow::HostWindow(TurntableHost& host)
    : host(host)
    , context(std::make_unique<QQmlContext>(globalQmlEngine()->rootContext())) {
    // The offscreen platform (a machine without a display) has no OpenGL.
    // By name: Qt 5 and Qt 6 both take the backend so.
    const QString software = QStringLiteral("software");
    if (QGuiApplication::platformName() == QLatin1String("offscreen") &&
        QQuickWindow::sceneGraphBackend() != software) {
        QQuickWindow::setSceneGraphBackend(software);
    }
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

QImage HostWindow::picture() const {
    QImage image = quickWindow->grabWindow();
    if (image.isNull() && quickWindow->screen()) {
        // Qt 5's software scene graph cannot grab on the offscreen platform,
        // whose screen keeps what the window has drawn.
        image = quickWindow->screen()->grabWindow(quickWindow->winId()).toImage();
    }
    return image;
}

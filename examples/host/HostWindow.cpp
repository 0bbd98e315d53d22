#include "HostWindow.h"

#include "KalveraTurntable.h"
#include "KalveraTurntableQml.h"
#include "LxGlobalQmlEngine.h"
#include "LxSettingsFile.h"
#include "TurntableObserver.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>

#include <stdexcept>

HostWindow::HostWindow(const QString& model, bool shoot) {
    // The offscreen platform (a machine without a display) has no OpenGL.
    // By name: Qt 5 and Qt 6 both take the backend so.
    const QString software = QStringLiteral("software");
    if (QGuiApplication::platformName() == QLatin1String("offscreen") &&
        QQuickWindow::sceneGraphBackend() != software) {
        QQuickWindow::setSceneGraphBackend(software);
    }
    KalveraTurntableQml::registerTypes();
    const auto saved =
        LxSettingsFile::read(LxSettingsFile::path(), LxSettingsFile::Use::ReadAndWrite);
    settingsWritable = saved.writable();
    QQmlComponent component(globalQmlEngine(), QUrl(QStringLiteral("qrc:/qml/HostWindow.qml")));
    QObject* root = component.createWithInitialProperties(
        {{QStringLiteral("host"), QVariant::fromValue<QObject*>(this)},
         {QStringLiteral("modelAtStart"), model},
         {QStringLiteral("shootOnOpen"), shoot},
         {QStringLiteral("savedSettings"), saved.settings.toVariantMap()},
         {QStringLiteral("settingsProblem"), saved.problem}});
    quickWindow.reset(qobject_cast<QQuickWindow*>(root));
    if (!quickWindow) {
        delete root;
        throw std::runtime_error("The host window cannot be created: " +
                                 component.errorString().toStdString());
    }
    // After the window's own handler, which may start a shoot: its first move
    // waits for the host's capture.
    QObject::connect(turntable(), &KalveraTurntable::openedChanged, quickWindow.get(), [this] {
        if (turntable()->isOpened()) {
            TurntableObserver::modelOpened(turntable()->model());
        }
    });
}

HostWindow::~HostWindow() {
    if (QObject* view = quickWindow->findChild<QObject*>(QStringLiteral("settingsView"))) {
        saveSettings(view->property("settings").toMap());
    }
}

KalveraTurntable* HostWindow::turntable() const {
    return quickWindow->findChild<KalveraTurntable*>(QStringLiteral("turntable"));
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

QString HostWindow::saveSettings(const QVariantMap& settings) const {
    const QString path = LxSettingsFile::path();
    return settingsWritable
               ? LxSettingsFile::write(path, [&settings] { return std::optional(settings); })
               : LxSettingsFile::notWrittenOverUnreadable(path);
}

#ifndef HOSTWINDOW_H
#define HOSTWINDOW_H

#include "SettingsFile.h"

#include <QString>

#include <memory>

class KalveraTurntable;
class QImage;
class QQmlContext;
class QQuickWindow;

// The host's window, "qrc:/qml/HostWindow.qml": a KalveraTurntable with its
// model picker, settings view, shoot, dial and camera strip. The view shows
// the saved settings, which are saved again as the window closes or goes.
class HostWindow {
public:
    // Creates the window, hidden; it looks for the turntable at once. With
    // `model`, it opens that model (by name, any case) once the turntable is
    // found, and with `shoot` starts a shoot once it is open. Throws
    // std::runtime_error when the window's QML cannot be created.
    explicit HostWindow(const QString& model = QString(), bool shoot = false);
    // Stops the table and closes the turntable, saving the view's settings.
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    QQuickWindow* window() const { return quickWindow.get(); }
    KalveraTurntable* turntable() const;
    // What the window shows now; null before it has been drawn.
    QImage picture() const;

private:
    SettingsFile settingsFile;
    std::unique_ptr<QQmlContext> context;
    std::unique_ptr<QQuickWindow> quickWindow;
};

#endif

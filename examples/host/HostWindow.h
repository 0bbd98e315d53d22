#ifndef HOSTWINDOW_H
#define HOSTWINDOW_H

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

class KalveraTurntable;
class QImage;
class QQuickWindow;

// The host's window, "qrc:/qml/HostWindow.qml": a KalveraTurntable with its
// model picker, settings view, shoot, dial and camera strip. The view shows
// the settings saved in the SDK's settings file (LxSettingsFile), which are
// saved again as the window closes or goes; a file that cannot be read is
// moved aside, never written over, and the status line says where it went.
class HostWindow : public QObject {
    Q_OBJECT

public:
    // Creates the window, hidden; it looks for the turntable at once. With
    // `model`, it opens that model (by name, any case) once the turntable is
    // found, and with `shoot` starts a shoot once it is open. Throws
    // std::runtime_error when the window's QML cannot be created.
    explicit HostWindow(const QString& model = QString(), bool shoot = false);
    // Stops the table and closes the turntable, saving the view's settings.
    ~HostWindow() override;

    QQuickWindow* window() const { return quickWindow.get(); }
    KalveraTurntable* turntable() const;
    // What the window shows now; null before it has been drawn.
    QImage picture() const;
    // Replaces the settings file with `settings`; why they could not be saved,
    // empty when they were.
    Q_INVOKABLE QString saveSettings(const QVariantMap& settings) const;

private:
    bool settingsWritable = true;
    std::unique_ptr<QQuickWindow> quickWindow;
};

#endif

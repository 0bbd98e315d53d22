#ifndef HOSTWINDOW_H
#define HOSTWINDOW_H

#include <memory>

class QImage;
class QQmlContext;
class QQuickWindow;
class TurntableHost;

// The host's window: model picker, open and close, the plug-in's settings
// view, the shoot's progress and the virtual camera strip. Built from
// "qrc:/qml/HostWindow.qml" on the plug-in's QML engine, so that the settings
// view lives in the same engine as the window that shows it.
class HostWindow {
public:
    // Creates the window, hidden, and opens the settings view in it. Throws
    // std::runtime_error when the window's QML cannot be created.
    explicit HostWindow(TurntableHost& host);
    // Closes the settings view (saving its settings) before the window goes.
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    QQuickWindow* window() const { return quickWindow.get(); }
    // What the window shows now; null before it has been drawn.
    QImage picture() const;

private:
    TurntableHost& host;
    std::unique_ptr<QQmlContext> context;
    std::unique_ptr<QQuickWindow> quickWindow;
};

#endif

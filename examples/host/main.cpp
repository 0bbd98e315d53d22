// KalveraTurntableHost: a photography host application on the turntable SDK.
// With a window by default; with --headless, one shoot reported as text.
#include "HeadlessShoot.h"
#include "HostOptions.h"
#include "HostWindow.h"
#include "TurntableHost.h"

#include <QGuiApplication>
#include <QQuickWindow>

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    // No display is needed for a shoot without a window.
    if (HostOptions::wantsHeadless(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    // They place the settings file: ~/.local/share/Kalvera/KalveraTurntableHost/.
    QGuiApplication::setOrganizationName(QStringLiteral("Kalvera"));
    QGuiApplication::setApplicationName(QStringLiteral("KalveraTurntableHost"));

    HostOptions options;
    QString error;
    if (!HostOptions::parse(QGuiApplication::arguments(), &options, &error)) {
        std::cerr << error.toStdString() << "\n\n" << HostOptions::usage().toStdString();
        return HeadlessBadArguments;
    }
    if (options.help) {
        std::cout << HostOptions::usage().toStdString();
        return 0;
    }
    if (options.headless) {
        return runHeadlessShoot(options, std::cout, std::cerr);
    }
    TurntableHost host;
    try {
        HostWindow window(host);
        window.window()->show();
        return QGuiApplication::exec();
    } catch (const std::runtime_error& failure) {
        std::cerr << failure.what() << '\n';
        return 2;
    }
}

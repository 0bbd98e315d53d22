// KalveraTurntableHost: a photography host application on the turntable SDK.
// With a window by default; with --headless, one shoot reported as text.
#include "HeadlessShoot.h"
#include "HostOptions.h"
#include "HostWindow.h"
#include "KalveraTurntable.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"

#include <QGuiApplication>
#include <QImage>
#include <QQuickWindow>
#include <QTimer>

#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

// Once the window has drawn itself after any shoot asked for has ended, and
// its layout has settled: the picture, then the end of the program (status 2
// when the file cannot be written).
void saveScreenshotWhenShown(const HostWindow& hostWindow, bool shoot, const QString& file) {
    QQuickWindow* window = hostWindow.window();
    const auto shootEnded = std::make_shared<bool>(!shoot);
    // A shoot that does not start says why; the picture shows it.
    const auto end = [window, shootEnded] {
        *shootEnded = true;
        window->update();
    };
    QObject::connect(hostWindow.turntable(), &KalveraTurntable::shootFinished, window, end);
    QObject::connect(hostWindow.turntable(), &KalveraTurntable::errorOccurred, window, end);
    const auto drawn = std::make_shared<QMetaObject::Connection>();
    *drawn = QObject::connect(window, &QQuickWindow::frameSwapped, window, [=, &hostWindow] {
        if (*shootEnded) {
            QObject::disconnect(*drawn);
            QTimer::singleShot(500, window, [&hostWindow, file] {
                const bool saved = hostWindow.picture().save(file, "PNG");
                if (!saved) {
                    std::cerr << "Cannot write the picture to " << file.toStdString() << '\n';
                }
                QGuiApplication::exit(saved ? 0 : 2);
            });
        }
    });
}

// The window until it is closed, or until a termination signal, which ends
// the event loop with its status; the window's turntable then stops the
// shoot and the table and closes as it goes. The program's exit status.
int runWindow(const HostOptions& options, const TerminationSignals& termination) {
    try {
        HostWindow window(options.model, options.shoot);
        const auto signalWatch = watchTerminationSignals(
            &termination, [&termination] { QGuiApplication::exit(termination.exitStatus()); });
        // A signal while the window was being made: nothing opens or starts.
        if (termination.received() != 0) {
            return termination.exitStatus();
        }
        QObject::connect(window.turntable(), &KalveraTurntable::errorOccurred,
                         [](int, const QString& text) { std::cerr << text.toStdString() << '\n'; });
        window.window()->show();
        if (!options.screenshot.isEmpty()) {
            saveScreenshotWhenShown(window, options.shoot, options.screenshot);
        }
        return QGuiApplication::exec();
    } catch (const std::runtime_error& failure) {
        std::cerr << failure.what() << '\n';
        return 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    // Checked before Qt starts, so that a mistyped option needs no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    HostOptions options;
    QString error;
    if (!HostOptions::parse(arguments, &options, &error)) {
        std::cerr << error.toStdString() << "\n\n" << HostOptions::usage().toStdString();
        return HeadlessBadArguments;
    }
    if (options.help) {
        std::cout << HostOptions::usage(options.backend).toStdString();
        return 0;
    }
    if (!options.applyBackend(std::cout, &error)) {
        std::cerr << error.toStdString();
        return HeadlessBadArguments;
    }
    // No display is needed for a shoot without a window.
    if (options.headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Before the turntable is found: from then on a signal must let the host
    // stop the table and close it.
    const TerminationSignals termination;
    QGuiApplication app(argc, argv);
    // They place the settings file: ~/.local/share/Kalvera/KalveraTurntableHost/.
    QGuiApplication::setOrganizationName(QStringLiteral("Kalvera"));
    QGuiApplication::setApplicationName(QStringLiteral("KalveraTurntableHost"));
    return options.headless ? runHeadlessShoot(options, std::cout, std::cerr, &termination)
                            : runWindow(options, termination);
}

// outside-client: a host in miniature that uses only what the SDK installs.
// It lists the turntable models, opens one, shows the SDK's settings view and
// closes it again, fires the shutter, turns the table and back to where it
// started, closes it and prints what happened. It exits 0 only when every step
// worked.
//
//   outside-client [MODEL [DEGREES]]     default: Facet 15
#include <LxKalveraTurntableControl.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickItem>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <list>
#include <memory>
#include <string>

namespace {

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

// What the open reported through the host callbacks.
struct OpenReport {
    bool reported = false;
    bool opened = false;
    bool customAngles = false;
};

// The callbacks outlive main's objects, so they are cleared when the host ends.
struct HostCallbacks {
    explicit HostCallbacks(OpenReport& report) {
        Callbacks::hardwareOpenSucceeded = [&report](LxTurntableHardware*, unsigned long,
                                                     bool customAngles) {
            report = {true, true, customAngles};
        };
        Callbacks::hardwareDisconnected = [&report](LxTurntableHardware*, unsigned long) {
            report = {true, false, false};
        };
        // Fired only during a 360-degree sequence, which this client does not run.
        Callbacks::turntableRotationStopped = [](LxTurntableHardware*) {};
    }
    ~HostCallbacks() {
        Callbacks::hardwareOpenSucceeded = nullptr;
        Callbacks::hardwareDisconnected = nullptr;
        Callbacks::turntableRotationStopped = nullptr;
    }
    HostCallbacks(const HostCallbacks&) = delete;
    HostCallbacks& operator=(const HostCallbacks&) = delete;
};

int fail(const LxKalveraTurntableControl& control, const char* what) {
    std::fprintf(stderr, "outside-client: %s: %s\n", what,
                 qPrintable(control.lastError().isEmpty() ? QStringLiteral("no reason given")
                                                          : control.lastError()));
    return EXIT_FAILURE;
}

// The settings view comes from the SDK (the target SettingsView, or the .pc
// file's settingsview): made with the saved settings, and saved at its close.
bool showSettingsView(LxKalveraTurntableControl& control) {
    const std::unique_ptr<QQuickItem> view(control.createPluginUIFrameView());
    if (!view) {
        return false;
    }
    std::printf("Settings view: \"%s\"\n", qPrintable(view->objectName()));
    return control.pluginUIFrameViewWillClose(view.get());
}

// Waits for the move to end while the event loop runs, polling with pauses as
// the controller asks. Returns the seconds it took, or a negative number when
// the move outlasted `limitMs` (it is stopped then).
double waitForMove(LxKalveraTurntableControl& control, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!control.IsTurntableRotating() || clock.hasExpired(limitMs)) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec();
    if (control.IsTurntableRotating()) {
        control.stopRotation();
        return -1.0;
    }
    return static_cast<double>(clock.elapsed()) / 1000.0;
}

// Plans one move with `plan`, runs it and reports it. False when it did not run.
template <typename Plan>
bool turn(LxKalveraTurntableControl& control, const char* label, Plan plan) {
    const double planned = plan();
    if (planned <= 0.0 || !control.startRotation()) {
        return false;
    }
    const double seconds = waitForMove(control, 60000);
    if (seconds < 0.0) {
        return false;
    }
    std::printf("%s: %.3f degrees %s in %.2f s\n", label, planned,
                control.isRotationClockwise() ? "clockwise" : "counterclockwise", seconds);
    return true;
}

int run(const std::string& modelName, double degrees) {
    LxKalveraTurntableControl control;
    OpenReport report;
    HostCallbacks callbacks(report);

    const std::list<std::string> models = control.availableDevices();
    if (models.empty()) {
        return fail(control, "no turntable found");
    }
    std::printf("Models:");
    for (const std::string& name : models) {
        std::printf(" \"%s\"", name.c_str());
    }
    std::printf("\n");

    unsigned long model = 0;
    for (auto it = models.begin(); it != models.end() && *it != modelName; ++it) {
        ++model;
    }
    if (model == models.size()) {
        std::fprintf(stderr, "outside-client: no model \"%s\"\n", modelName.c_str());
        return EXIT_FAILURE;
    }

    control.setCurrentTurntableIndex(model);
    control.openDevice(model);
    if (!report.reported || !report.opened || !control.isTurntableOpened()) {
        return fail(control, "open failed");
    }
    std::printf("Opened \"%s\" (model %lu, %s), %u counts per revolution\n", modelName.c_str(),
                model, report.customAngles ? "custom angles" : "no custom angles",
                control.countsPerRevolution());

    if (!showSettingsView(control)) {
        return fail(control, "the settings view failed");
    }

    if (control.shutterReleaseCameraHardware()) {
        std::printf("Shutter released\n");
    }

    control.SetRotationSpeed(0);
    control.SetRotationClockwise();
    if (!turn(control, "Turned", [&] { return control.SetRotationIncrementInDegrees(degrees); })) {
        return fail(control, "the turn did not complete");
    }
    // The way back is planned from the position the turn reached.
    control.SetRotationCounterClockwise();
    if (!turn(control, "Back to the start",
              [&] { return control.SetRotationNextGlobalPositionInDegrees(0.0); })) {
        return fail(control, "the turn back did not complete");
    }

    control.closeDevice();
    if (control.isTurntableOpened()) {
        return fail(control, "close failed");
    }
    std::printf("Closed\n");
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KalveraExamples"));
    QCoreApplication::setApplicationName(QStringLiteral("OutsideClient"));

    const std::string model = argc > 1 ? argv[1] : "Facet";
    const double degrees = argc > 2 ? std::atof(argv[2]) : 15.0;

    // The controller is used from the running event loop, as in a host.
    int status = EXIT_FAILURE;
    QTimer::singleShot(0, &app, [&] {
        status = run(model, degrees);
        QCoreApplication::exit(status);
    });
    app.exec();
    return status;
}

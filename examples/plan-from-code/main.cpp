// plan-from-code: a shoot planned with no settings view. The host opens
// "Custom" and plans it with planShoot(): 12 frames, its counts per
// revolution, the motor lines' levels, no delays, the fastest speed. It then
// runs the whole sequence: call k passes the position of capture k + 1, the
// last call 360, and the call after it returns false. It exits 0 when every
// capture was taken.
//
//   KALVERA_TURNTABLE_BACKEND=simulator plan-from-code
#include <LxKalveraTurntableControl.h>
#include <LxShootPlan.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

LxShootPlan shootPlan() {
    LxShootPlan plan;
    plan.frames = 12;
    plan.countsPerRevolution = 200;
    plan.clockwiseActiveHigh = true;
    plan.motorEnableActiveHigh = true;
    plan.speed = 10;
    return plan;
}

class Shoot {
public:
    explicit Shoot(LxKalveraTurntableControl& control)
        : control(control) {
        // The notice comes on a rotation thread: the next step is taken on
        // the controller's thread, from its event loop.
        Callbacks::turntableRotationStopped = [this](LxTurntableHardware*) {
            QMetaObject::invokeMethod(
                qApp, [this] { nextStep(); }, Qt::QueuedConnection);
        };
    }
    ~Shoot() { Callbacks::turntableRotationStopped = nullptr; }
    Shoot(const Shoot&) = delete;
    Shoot& operator=(const Shoot&) = delete;

    bool start() {
        if (!control.planShoot(shootPlan(), &captures)) {
            return false;
        }
        std::printf("Planned %u captures at %u counts per revolution\n", captures,
                    control.countsPerRevolution());
        nextStep();
        return true;
    }

    // Capture `taken + 1` is taken where the table stands now; the call
    // passes where the table goes next.
    void nextStep() {
        const float next = 360.0f * static_cast<float>(taken + 1) / captures;
        if (!control.rotateDeviceToAngle(next)) {
            const bool completed =
                control.lastErrorCode() == LxAbstractPlugin::ErrorCode::SequenceCompleted &&
                taken == captures;
            std::printf("%s: %u captures\n", completed ? "Shoot complete" : "Shoot failed", taken);
            QCoreApplication::exit(completed ? EXIT_SUCCESS : EXIT_FAILURE);
            return;
        }
        ++taken;
        std::printf("capture %2u at %5.1f degrees, then to %5.1f\n", taken,
                    360.0 * (taken - 1) / captures, static_cast<double>(next));
    }

private:
    LxKalveraTurntableControl& control;
    unsigned short captures = 0;
    unsigned int taken = 0;
};

int fail(const LxKalveraTurntableControl& control, const char* what) {
    std::fprintf(stderr, "plan-from-code: %s: %s\n", what, qPrintable(control.lastError()));
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KalveraExamples"));
    QCoreApplication::setApplicationName(QStringLiteral("PlanFromCode"));

    bool opened = false;
    Callbacks::hardwareOpenSucceeded = [&](LxTurntableHardware*, unsigned long, bool) {
        opened = true;
    };
    Callbacks::hardwareDisconnected = [](LxTurntableHardware*, unsigned long) {};
    LxKalveraTurntableControl control;
    Shoot shoot(control);

    if (control.availableDevices().empty()) {
        return fail(control, "no turntable found");
    }
    control.openDevice(0); // "Custom"
    if (!opened) {
        return fail(control, "open failed");
    }

    QTimer::singleShot(0, &app, [&] {
        if (!shoot.start()) {
            QCoreApplication::exit(fail(control, "plan refused"));
        }
    });
    QTimer::singleShot(60000, &app, [] {
        std::fprintf(stderr, "plan-from-code: the shoot did not end within 60 s\n");
        QCoreApplication::exit(EXIT_FAILURE);
    });
    const int status = app.exec();

    control.closeDevice();
    Callbacks::hardwareOpenSucceeded = nullptr;
    Callbacks::hardwareDisconnected = nullptr;
    return status;
}

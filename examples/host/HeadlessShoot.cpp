#include "HeadlessShoot.h"

#include "LxSettingsKeys.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"
#include "TurntableHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariantMap>

namespace {

// Longer than any one step at the fastest speed: a whole turn of the
// finest-stepped model and the shutter pulse.
constexpr int kStepTimeoutMs = 120000;
constexpr int kBarWidth = 32;

QVariantMap quickShootSettings(int frames) {
    return {
        {LxSettingsKeys::useCustomAngles, false},
        {LxSettingsKeys::framesCountText, QString::number(frames)},
        {LxSettingsKeys::captureDelaySeconds, QVariantList{0, 0}},
        {LxSettingsKeys::rotationSpeed, 10},
        {LxSettingsKeys::isLockTableWhenIdle, false},
        {LxSettingsKeys::triggerShutterRelease, true},
        // Only "Custom" reads these: a common stepper of 200 steps a turn.
        {LxSettingsKeys::customTurntableAdvancedSettings,
         QVariantMap{{LxSettingsKeys::stepsPerRevolutionText, QStringLiteral("200")},
                     {LxSettingsKeys::isClockwiseActiveHigh, true},
                     {LxSettingsKeys::isMotorEnableActiveHigh, true}}},
    };
}

// Points the data directory, and with it the plug-in's settings file, at a
// directory of its own for as long as it lives.
class ScratchDataHome {
public:
    ScratchDataHome()
        : previous(qgetenv("XDG_DATA_HOME")) {
        if (directory.isValid()) {
            qputenv("XDG_DATA_HOME", QFile::encodeName(directory.path()));
        }
    }
    ~ScratchDataHome() {
        if (previous.isNull()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", previous);
        }
    }
    ScratchDataHome(const ScratchDataHome&) = delete;
    ScratchDataHome& operator=(const ScratchDataHome&) = delete;

    bool isValid() const { return directory.isValid(); }

private:
    QByteArray previous;
    QTemporaryDir directory;
};

std::string progressLine(int done, int total, float angle) {
    const int filled = total > 0 ? done * kBarWidth / total : 0;
    return QStringLiteral("[%1%2] %3/%4  at %5\u00B0")
        .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')))
        .arg(done, 3)
        .arg(total)
        .arg(angle, 6, 'f', 1)
        .toStdString();
}

void printSummary(const std::vector<Capture>& captures, std::ostream& out) {
    const QString row = QStringLiteral("%1  %2  %3  %4  %5\n");
    out << '\n'
        << row.arg(QStringLiteral("capture"))
               .arg(QStringLiteral("angle"), 7)
               .arg(QStringLiteral("table"), 7)
               .arg(QStringLiteral("time"), 7)
               .arg(QStringLiteral("camera"))
               .toStdString();
    for (const Capture& capture : captures) {
        const QString table = capture.tableAngle
                                  ? QStringLiteral("%1\u00B0").arg(*capture.tableAngle, 6, 'f', 1)
                                  : QStringLiteral("-");
        out << row.arg(capture.number, 7)
                   .arg(QStringLiteral("%1\u00B0").arg(capture.angle, 6, 'f', 1))
                   .arg(table, 7)
                   .arg(QStringLiteral("%1 s").arg(capture.elapsedMs / 1000.0, 5, 'f', 2))
                   .arg(capture.cameraFired ? QStringLiteral("fired") : QStringLiteral("-"))
                   .toStdString();
    }
}

} // namespace

int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors,
                     const TerminationSignals* termination) {
    // Made before the host, gone after it: the view's settings are saved here
    // at its close, and dropped.
    const ScratchDataHome scratchData;
    if (!scratchData.isValid()) {
        errors << "No scratch directory for the shoot's settings.\n";
        return HeadlessNoTurntable;
    }

    TurntableHost host;
    if (host.models().isEmpty()) {
        errors << "No turntable found: " << host.status().toStdString() << '\n';
        return HeadlessNoTurntable;
    }
    // Model index 0, "Custom", by default.
    const QString modelName = options.model.isEmpty() ? host.models().first() : options.model;
    const int model = host.modelIndex(modelName);
    if (model < 0) {
        errors << "Unknown turntable model \"" << modelName.toStdString()
               << "\". The models are: " << host.models().join(QStringLiteral(", ")).toStdString()
               << ".\n";
        return HeadlessBadArguments;
    }
    QQuickItem* view = host.openView(nullptr);
    if (!view || !host.openDevice(model)) {
        errors << host.status().toStdString() << '\n';
        return HeadlessNoTurntable;
    }
    // The view takes the model's settings from the open first, then the shoot's.
    QCoreApplication::processEvents();
    QMetaObject::invokeMethod(view, "loadSettings",
                              Q_ARG(QVariant, quickShootSettings(options.frames)));

    out << "Shooting " << options.frames << " frames on " << host.models()[model].toStdString()
        << ".\n";
    QEventLoop loop;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(kStepTimeoutMs);
    bool completed = false;
    QObject::connect(&host, &TurntableHost::captured, [&](const Capture& capture) {
        out << progressLine(capture.number, host.captureTotal(), capture.angle) << std::endl;
        watchdog.start();
    });
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        errors << "The turntable did not report the end of move " << host.captureNumber()
               << " within " << kStepTimeoutMs / 1000 << " s.\n";
        host.stopShoot();
    });
    QObject::connect(&host, &TurntableHost::shootFinished,
                     [&](bool shootCompleted, const QString& message) {
                         completed = shootCompleted;
                         if (!completed) {
                             errors << message.toStdString() << '\n';
                         }
                         loop.quit();
                     });
    // The host closes the turntable when it goes, on the way out.
    const auto signalWatch = watchTerminationSignals(termination, [&] {
        host.stopShoot();
        loop.quit();
    });
    // A signal during the search or the open came before the watch: no shoot
    // starts after it.
    if (termination && termination->received() != 0) {
        return termination->exitStatus();
    }
    QElapsedTimer clock;
    clock.start();
    if (!host.startShoot()) {
        errors << host.status().toStdString() << '\n';
        return HeadlessShootFailed;
    }
    if (host.captureTotal() != options.frames) {
        errors << "The settings view planned " << host.captureTotal() << " captures, not "
               << options.frames << ".\n";
        host.stopShoot();
        return HeadlessShootFailed;
    }
    if (host.isShooting()) {
        loop.exec();
    }
    printSummary(host.shoot()->captures(), out);
    if (termination && termination->received() != 0) {
        return termination->exitStatus();
    }
    if (!completed) {
        return HeadlessShootFailed;
    }
    out << "\nShoot complete: " << host.captureNumber() << " captures in "
        << QString::number(clock.elapsed() / 1000.0, 'f', 1).toStdString() << " s.\n";
    return HeadlessCompleted;
}

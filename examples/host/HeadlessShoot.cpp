#include "HeadlessShoot.h"

#include "KalveraTurntable.h"
#include "LxTurntableModelDescription.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"
#include "TurntableObserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace {

// Longer than any one step at the fastest speed: a whole turn of the
// finest-stepped model and the shutter pulse.
constexpr int kStepTimeoutMs = 120000;
constexpr int kBarWidth = 32;
// "Custom" as a common stepper of 200 steps a turn.
constexpr unsigned int kCustomCounts = 200;

LxShootPlan quickShoot(int frames) {
    LxShootPlan plan;
    plan.frames = static_cast<unsigned int>(frames);
    plan.countsPerRevolution = kCustomCounts;
    plan.clockwiseActiveHigh = true;
    plan.motorEnableActiveHigh = true;
    plan.preCaptureDelaySeconds = 0.0f;
    plan.postCaptureDelaySeconds = 0.0f;
    plan.speed = 10;
    plan.triggerShutterRelease = true;
    return plan;
}

// One picture of the shoot, with what the simulated table and camera did.
struct Capture {
    int number = 0;
    // Where the table stands for it, in degrees clockwise from the start.
    double angle = 0.0;
    // Where the table really stood, when the turntable can tell.
    std::optional<double> tableAngle;
    qint64 elapsedMs = 0;
    // The turntable fires the camera as the shoot goes on from a capture:
    // known once the next capture is ready, or the shoot has ended.
    bool cameraFired = false;
};

// The shoot's captures as the host sees them, and on the simulated bus as
// the table and the camera saw them.
class CaptureLog {
public:
    explicit CaptureLog(const LxTurntableModelDescription& model)
        : stepper(model.stepper)
        // "Custom" turns as the shoot's plan says.
        , countsPerRevolution(model.countsPerRevolution == 0 ? kCustomCounts
                                                             : model.countsPerRevolution)
        , startCounts(TurntableObserver::countsTurnedClockwise(stepper).value_or(0)) {
        clock.start();
    }

    const Capture& add(int number, double angle) {
        settleLast();
        Capture capture;
        capture.number = number;
        capture.angle = angle;
        capture.tableAngle = tableAngle();
        capture.elapsedMs = clock.elapsed();
        taken.push_back(capture);
        return taken.back();
    }
    // The shoot has gone on from the last capture, or ended: whether the
    // camera took it is known now.
    void settleLast() {
        const auto shots = TurntableObserver::cameraShots();
        if (!taken.empty()) {
            taken.back().cameraFired = shots && shotsBefore && *shots > *shotsBefore;
        }
        shotsBefore = shots;
    }
    const std::vector<Capture>& captures() const { return taken; }
    qint64 elapsedMs() const { return clock.elapsed(); }

private:
    std::optional<double> tableAngle() const {
        const auto counts = TurntableObserver::countsTurnedClockwise(stepper);
        if (!counts || countsPerRevolution == 0) {
            return std::nullopt;
        }
        const double degrees = std::fmod(
            static_cast<double>(*counts - startCounts) * 360.0 / countsPerRevolution, 360.0);
        return degrees < 0.0 ? degrees + 360.0 : degrees;
    }

    const bool stepper;
    const unsigned int countsPerRevolution;
    const long long startCounts;
    std::optional<std::size_t> shotsBefore = TurntableObserver::cameraShots();
    std::vector<Capture> taken;
    QElapsedTimer clock;
};

std::string progressLine(int done, int total, double angle) {
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

int modelIndex(const QStringList& models, const QString& name) {
    for (int i = 0; i < models.size(); ++i) {
        if (models[i].compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

// The turntable's answers arrive from the event loop: each step of the shoot
// runs it until what it waits for has come, an error came, or a termination
// signal, which stops the shoot.
class Waiter {
public:
    Waiter(KalveraTurntable& table, const TerminationSignals* termination)
        : termination(termination)
        , signalWatch(watchTerminationSignals(termination, [this, &table] {
            table.stopShoot();
            loop.quit();
        })) {
        // Queued: the host's own handlers of the same signals have run by then.
        const auto check = [this] {
            if (done && done()) {
                loop.quit();
            }
        };
        QObject::connect(&table, &KalveraTurntable::modelsChanged, &loop, check,
                         Qt::QueuedConnection);
        QObject::connect(&table, &KalveraTurntable::openedChanged, &loop, check,
                         Qt::QueuedConnection);
        QObject::connect(&table, &KalveraTurntable::shootFinished, &loop, check,
                         Qt::QueuedConnection);
        QObject::connect(&table, &KalveraTurntable::errorOccurred, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
    }

    // False when a termination signal came (also before the wait).
    bool waitFor(std::function<bool()> condition) {
        done = std::move(condition);
        if (!terminated() && !done()) {
            loop.exec();
        }
        done = nullptr;
        return !terminated();
    }
    int exitStatus() const { return termination->exitStatus(); }

private:
    bool terminated() const { return termination && termination->received() != 0; }

    const TerminationSignals* termination;
    QEventLoop loop;
    std::function<bool()> done;
    std::unique_ptr<QSocketNotifier> signalWatch;
};

} // namespace

int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors,
                     const TerminationSignals* termination) {
    KalveraTurntable table;
    Waiter waiter(table, termination);
    table.findTurntables();
    if (!waiter.waitFor([&] { return !table.models().isEmpty(); })) {
        return waiter.exitStatus();
    }
    if (table.models().isEmpty()) {
        errors << "No turntable found: " << table.lastError().toStdString() << '\n';
        return HeadlessNoTurntable;
    }
    // Model index 0, "Custom", by default.
    const QString modelName = options.model.isEmpty() ? table.models().first() : options.model;
    const int model = modelIndex(table.models(), modelName);
    if (model < 0) {
        errors << "Unknown turntable model \"" << modelName.toStdString()
               << "\". The models are: " << table.models().join(QStringLiteral(", ")).toStdString()
               << ".\n";
        return HeadlessBadArguments;
    }
    table.open(model);
    if (!waiter.waitFor([&] { return table.isOpened(); })) {
        return waiter.exitStatus();
    }
    if (!table.isOpened()) {
        errors << table.models()[model].toStdString()
               << " could not be opened: " << table.lastError().toStdString() << '\n';
        return HeadlessNoTurntable;
    }
    TurntableObserver::modelOpened(model);

    out << "Shooting " << options.frames << " frames on " << table.models()[model].toStdString()
        << ".\n";
    CaptureLog log(*LxTurntableModelDescription::of(model));
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(kStepTimeoutMs);
    QObject::connect(&table, &KalveraTurntable::captureReady, [&](int index, double angle) {
        const Capture& capture = log.add(index, angle);
        out << progressLine(capture.number, table.captureCount(), capture.angle) << std::endl;
        watchdog.start();
        table.captureTaken();
    });
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        errors << "The turntable did not report the end of move " << log.captures().size()
               << " within " << kStepTimeoutMs / 1000 << " s.\n";
        table.stopShoot();
    });
    bool started = false;
    bool refused = false;
    bool finished = false;
    bool completed = false;
    QObject::connect(&table, &KalveraTurntable::shootChanged, [&] {
        started = started || table.shoot() != KalveraTurntable::ShootState::Idle;
    });
    QObject::connect(&table, &KalveraTurntable::errorOccurred, [&] { refused = !started; });
    QObject::connect(&table, &KalveraTurntable::shootFinished, [&](bool shootCompleted) {
        finished = true;
        completed = shootCompleted;
    });
    table.startShoot(quickShoot(options.frames));
    // Errors of single captures leave the shoot running; it tells its end.
    const auto ended = [&] { return refused || finished; };
    bool notTerminated = true;
    while (notTerminated && !ended()) {
        notTerminated = waiter.waitFor(ended);
    }
    if (refused) {
        errors << "The shoot was refused: " << table.lastError().toStdString() << '\n';
        return notTerminated ? HeadlessShootFailed : waiter.exitStatus();
    }
    log.settleLast();
    printSummary(log.captures(), out);
    if (!notTerminated) {
        return waiter.exitStatus();
    }
    if (!completed) {
        errors << table.lastError().toStdString() << '\n';
        return HeadlessShootFailed;
    }
    out << "\nShoot complete: " << log.captures().size() << " captures in "
        << QString::number(log.elapsedMs() / 1000.0, 'f', 1).toStdString() << " s.\n";
    return HeadlessCompleted;
}

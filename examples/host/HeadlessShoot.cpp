#include "HeadlessShoot.h"

#include "KalveraTurntable.h"
#include "LxTurntableModelDescription.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"
#include "TurntableObserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>

#include <cmath>
#include <optional>
#include <vector>

namespace {

constexpr int kBarWidth = 32;
// "Custom" as a common stepper of 200 steps a turn.
constexpr unsigned int kCustomCounts = 200;

LxShootPlan quickShoot(int frames) {
    LxShootPlan plan;
    plan.frames = static_cast<unsigned int>(frames);
    plan.countsPerRevolution = kCustomCounts;
    plan.clockwiseActiveHigh = true;
    plan.motorEnableActiveHigh = true;
    plan.triggerShutterRelease = true;
    return plan;
}

QString degrees(double angle) {
    return QStringLiteral("%1\u00B0").arg(angle, 6, 'f', 1);
}

// One capture as the host saw it, with what the simulated table and camera
// had done by then (nothing on a real chip).
struct Capture {
    int number = 0;
    double angle = 0.0;
    qint64 elapsedMs = 0;
    std::optional<long long> tableCounts;
    std::optional<std::size_t> cameraShots;
};

// The captures with where the simulated table stood for each, in degrees
// clockwise from where it stood for the first, and whether the camera fired
// for each: the turntable fires it as the shoot goes on from a capture, so
// the camera's count at the next capture, or at the end, tells.
class CaptureLog {
public:
    explicit CaptureLog(int model)
        : description(*LxTurntableModelDescription::of(model)) {
        clock.start();
    }

    void add(int number, double angle) {
        captures.push_back({number, angle, clock.elapsed(),
                            TurntableObserver::countsTurnedClockwise(description.stepper),
                            TurntableObserver::cameraShots()});
    }
    qint64 elapsedMs() const { return clock.elapsed(); }
    std::size_t size() const { return captures.size(); }

    void printSummary(std::ostream& out) const {
        const auto shotsAtEnd = TurntableObserver::cameraShots();
        const QString row = QStringLiteral("%1  %2  %3  %4  %5\n");
        out << '\n'
            << row.arg(QStringLiteral("capture"))
                   .arg(QStringLiteral("angle"), 7)
                   .arg(QStringLiteral("table"), 7)
                   .arg(QStringLiteral("time"), 7)
                   .arg(QStringLiteral("camera"))
                   .toStdString();
        for (std::size_t k = 0; k < captures.size(); ++k) {
            const Capture& capture = captures[k];
            const auto shotsAfter =
                k + 1 < captures.size() ? captures[k + 1].cameraShots : shotsAtEnd;
            const bool fired =
                capture.cameraShots && shotsAfter && *shotsAfter > *capture.cameraShots;
            out << row.arg(capture.number, 7)
                       .arg(degrees(capture.angle))
                       .arg(tableAngle(capture), 7)
                       .arg(QStringLiteral("%1 s").arg(capture.elapsedMs / 1000.0, 5, 'f', 2))
                       .arg(fired ? QStringLiteral("fired") : QStringLiteral("-"))
                       .toStdString();
        }
    }

private:
    QString tableAngle(const Capture& capture) const {
        const auto& origin = captures.front().tableCounts;
        if (!capture.tableCounts || !origin) {
            return QStringLiteral("-");
        }
        // "Custom" turns as the shoot's plan says.
        const unsigned int counts =
            description.countsPerRevolution == 0 ? kCustomCounts : description.countsPerRevolution;
        const double turned =
            std::fmod(static_cast<double>(*capture.tableCounts - *origin) * 360.0 / counts, 360.0);
        return degrees(turned < 0.0 ? turned + 360.0 : turned);
    }

    const LxTurntableModelDescription description;
    std::vector<Capture> captures;
    QElapsedTimer clock;
};

std::string progressLine(int done, int total, double angle) {
    const int filled = total > 0 ? done * kBarWidth / total : 0;
    return QStringLiteral("[%1%2] %3/%4  at %5")
        .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')))
        .arg(done, 3)
        .arg(total)
        .arg(degrees(angle))
        .toStdString();
}

int modelIndex(const QStringList& models, const QString& name) {
    return models.indexOf(
        QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(name)),
                           QRegularExpression::CaseInsensitiveOption));
}

} // namespace

int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors,
                     const TerminationSignals* termination) {
    KalveraTurntable table;
    QEventLoop loop;
    // The first end counts: nothing the turntable tells after it is heard.
    const auto end = [&](int status, const std::string& why = std::string()) {
        QObject::disconnect(&table, nullptr, &loop, nullptr);
        if (!why.empty()) {
            errors << why << '\n';
        }
        loop.exit(status);
    };
    const auto signalWatch = watchTerminationSignals(termination, [&] {
        table.stopShoot();
        end(termination->exitStatus());
    });
    int model = -1;
    bool started = false;
    std::optional<CaptureLog> log;
    QObject::connect(&table, &KalveraTurntable::modelsChanged, &loop, [&] {
        // Model index 0, "Custom", by default.
        const QString name = options.model.isEmpty() ? table.models().value(0) : options.model;
        model = modelIndex(table.models(), name);
        if (model < 0) {
            end(HeadlessBadArguments,
                "Unknown turntable model \"" + name.toStdString() + "\". The models are: " +
                    table.models().join(QStringLiteral(", ")).toStdString() + ".");
            return;
        }
        table.open(model);
    });
    QObject::connect(&table, &KalveraTurntable::openedChanged, &loop, [&] {
        if (table.isOpened() && !log) {
            TurntableObserver::modelOpened(model);
            out << "Shooting " << options.frames << " frames on "
                << table.models()[model].toStdString() << ".\n";
            log.emplace(model);
            table.startShoot(quickShoot(options.frames));
        }
    });
    // Errors of single captures leave the shoot running; it tells its end.
    QObject::connect(
        &table, &KalveraTurntable::errorOccurred, &loop, [&](int, const QString& text) {
            if (table.models().isEmpty()) {
                end(HeadlessNoTurntable, "No turntable found: " + text.toStdString());
            } else if (!log) {
                end(HeadlessNoTurntable, table.models()[model].toStdString() +
                                             " could not be opened: " + text.toStdString());
            } else if (!started) {
                end(HeadlessShootFailed, "The shoot was refused: " + text.toStdString());
            }
        });
    QObject::connect(&table, &KalveraTurntable::shootChanged, &loop, [&] {
        started = started || table.shoot() != KalveraTurntable::ShootState::Idle;
    });
    // The host takes each picture at once; the turntable then fires the camera.
    QObject::connect(&table, &KalveraTurntable::captureReady, &loop, [&](int index, double angle) {
        log->add(index, angle);
        out << progressLine(index, table.captureCount(), angle) << std::endl;
        table.captureTaken();
    });
    QObject::connect(&table, &KalveraTurntable::shootFinished, &loop, [&](bool completed) {
        end(completed ? HeadlessCompleted : HeadlessShootFailed,
            completed ? std::string() : table.lastError().toStdString());
    });
    table.findTurntables();
    const int status = loop.exec();
    if (started) {
        log->printSummary(out);
    }
    if (status == HeadlessCompleted) {
        out << "\nShoot complete: " << log->size() << " captures in "
            << QString::number(log->elapsedMs() / 1000.0, 'f', 1).toStdString() << " s.\n";
    }
    return status;
}

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

// The shoot's captures as the host saw them, and on the simulated bus where
// the table stood for each, in degrees clockwise from where it stood for the
// first, and whether the camera fired: the turntable fires it as the shoot
// goes on from a capture, so the camera's count at the next capture, or at
// the end, tells.
class CaptureLog {
public:
    explicit CaptureLog(int model)
        : description(*LxTurntableModelDescription::of(model)) {
        clock.start();
    }

    void add(int number, double angle) {
        const auto counts = TurntableObserver::countsTurnedClockwise(description.stepper);
        if (rows.empty()) {
            origin = counts;
        }
        QString table = QStringLiteral("-");
        if (counts && origin) {
            // "Custom" turns as the shoot's plan says.
            const double perTurn = description.countsPerRevolution == 0
                                       ? kCustomCounts
                                       : description.countsPerRevolution;
            const double turned =
                std::fmod(static_cast<double>(*counts - *origin) * 360.0 / perTurn, 360.0);
            table = degrees(turned < 0.0 ? turned + 360.0 : turned);
        }
        rows.push_back({QStringLiteral("%1  %2  %3  %4  %5\n")
                            .arg(number, 7)
                            .arg(degrees(angle))
                            .arg(table, 7)
                            .arg(QStringLiteral("%1 s").arg(clock.elapsed() / 1000.0, 5, 'f', 2)),
                        TurntableObserver::cameraShots()});
    }

    // The table of the captures, and with `completed` the shoot's length.
    void print(std::ostream& out, bool completed) const {
        out << "\ncapture    angle    table     time  camera\n";
        const auto shotsAtEnd = TurntableObserver::cameraShots();
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const auto before = rows[k].cameraShots;
            const auto after = k + 1 < rows.size() ? rows[k + 1].cameraShots : shotsAtEnd;
            const bool fired = before && after && *after > *before;
            out << rows[k]
                       .text.arg(fired ? QStringLiteral("fired") : QStringLiteral("-"))
                       .toStdString();
        }
        if (completed) {
            out << "\nShoot complete: " << rows.size() << " captures in "
                << QString::number(clock.elapsed() / 1000.0, 'f', 1).toStdString() << " s.\n";
        }
    }

private:
    // A capture's row but its camera column, and the camera's count then.
    struct Row {
        QString text;
        std::optional<std::size_t> cameraShots;
    };

    const LxTurntableModelDescription description;
    std::optional<long long> origin;
    std::vector<Row> rows;
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

} // namespace

int runHeadlessShoot(const HostOptions& options, std::ostream& out, std::ostream& errors,
                     const TerminationSignals* termination) {
    KalveraTurntable table;
    QEventLoop loop;
    // The first end counts: nothing that the turntable tells after it is heard.
    const auto end = [&](int status, const QString& why = QString()) {
        QObject::disconnect(&table, nullptr, &loop, nullptr);
        if (!why.isEmpty()) {
            errors << why.toStdString() << '\n';
        }
        loop.exit(status);
    };
    const auto signalWatch = watchTerminationSignals(termination, [&] {
        table.stopShoot();
        end(termination->exitStatus());
    });
    int model = -1;
    // Made as the shoot starts; reset when the shoot is refused.
    std::optional<CaptureLog> log;
    QObject::connect(&table, &KalveraTurntable::modelsChanged, &loop, [&] {
        // Model index 0, "Custom", by default.
        const QString name = options.model.isEmpty() ? table.models().value(0) : options.model;
        model = table.models().indexOf(QRegularExpression(
            QRegularExpression::anchoredPattern(QRegularExpression::escape(name)),
            QRegularExpression::CaseInsensitiveOption));
        if (model < 0) {
            end(HeadlessBadArguments, QStringLiteral("Unknown turntable model \"%1\". The models "
                                                     "are: %2.")
                                          .arg(name, table.models().join(QStringLiteral(", "))));
        } else {
            table.open(model);
        }
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
                end(HeadlessNoTurntable, QStringLiteral("No turntable found: ") + text);
            } else if (!log) {
                end(HeadlessNoTurntable,
                    table.models()[model] + QStringLiteral(" could not be opened: ") + text);
            } else if (table.shoot() == KalveraTurntable::ShootState::Idle) {
                log.reset();
                end(HeadlessShootFailed, QStringLiteral("The shoot was refused: ") + text);
            }
        });
    // The host takes each picture at once; the turntable then fires the camera.
    QObject::connect(&table, &KalveraTurntable::captureReady, &loop, [&](int index, double angle) {
        log->add(index, angle);
        out << progressLine(index, table.captureCount(), angle) << std::endl;
        table.captureTaken();
    });
    QObject::connect(&table, &KalveraTurntable::shootFinished, &loop, [&](bool completed) {
        end(completed ? HeadlessCompleted : HeadlessShootFailed,
            completed ? QString() : table.lastError());
    });
    table.findTurntables();
    const int status = loop.exec();
    if (log) {
        log->print(out, status == HeadlessCompleted);
    }
    return status;
}

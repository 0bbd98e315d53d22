#include "TurntableSession.h"

#include "ExitStatus.h"
#include "NextSteps.h"
#include "TerminationNotice.h"
#include "TerminationSignals.h"
#include "TurntableModels.h"

#include <LxD2xxBackend.h>

#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

#include <cmath>

namespace {

// How often the end of a move is looked for: the SDK asks for pauses of some
// milliseconds between looks.
constexpr int kPollMs = 10;

QString modelList(const QStringList& models) {
    QStringList numbered;
    for (int i = 0; i < models.size(); ++i) {
        numbered << QStringLiteral("%1 (%2)").arg(models[i]).arg(i);
    }
    return numbered.join(QStringLiteral(", "));
}

} // namespace

TurntableSession::TurntableSession(EventOutput& output)
    : output(output) {}

TurntableSession::~TurntableSession() {
    turntable.closeDevice();
}

std::optional<int> TurntableSession::find(const QString& modelName) {
    for (const std::string& name : turntable.availableDevices()) {
        models << QString::fromStdString(name);
    }
    if (models.isEmpty()) {
        using Code = LxAbstractPlugin::ErrorCode;
        const Code code = turntable.lastErrorCode();
        if (code == Code::UnknownBackend) {
            // KALVERA_TURNTABLE_BACKEND names none: a setting to correct.
            return output.error(QStringLiteral("unknown-backend"), turntable.lastError(), BadInput);
        }
        const bool attached = code == Code::ChipUnopenable;
        const int status =
            attached
                ? output.error(QStringLiteral("cannot-open"), turntable.lastError(), CannotOpen)
                : output.error(QStringLiteral("no-turntable"), turntable.lastError(), NoTurntable);
        if (attached || code == Code::DeviceNotFound) {
            output.note(QString::fromStdString(nextStepsWithoutTurntable(attached)));
        }
        return status;
    }
    bool isIndex = false;
    const int index = modelName.toInt(&isIndex);
    for (int i = 0; i < models.size() && !isIndex; ++i) {
        if (models[i].compare(modelName.simplified(), Qt::CaseInsensitive) == 0) {
            model = i;
        }
    }
    if (isIndex && index >= 0 && index < models.size()) {
        model = index;
    }
    if (model < 0) {
        return output.error(QStringLiteral("unknown-model"),
                            QStringLiteral("Unknown turntable model \"%1\". The models are: %2.")
                                .arg(modelName, modelList(models)),
                            BadInput);
    }
    return std::nullopt;
}

bool TurntableSession::modelNeedsCounts() const {
    return model == kCustomModel;
}

std::optional<int> TurntableSession::open() {
    bool opened = false;
    turntable.openDevice(static_cast<unsigned long>(model), &opened);
    if (!opened) {
        const int status = output.error(QStringLiteral("cannot-open"),
                                        QStringLiteral("The turntable \"%1\" cannot be opened: %2")
                                            .arg(modelName(), turntable.lastError()),
                                        CannotOpen);
        output.note(QString::fromStdString(nextStepsWithoutTurntable(true)));
        return status;
    }
    output.event(QStringLiteral("opened"),
                 {{QStringLiteral("model"), modelName()},
                  {QStringLiteral("index"), model},
                  {QStringLiteral("backend"), QString::fromStdString(LxD2xxBackend::chosen())}},
                 QStringLiteral("Opened %1 (model %2) on the %3 backend.")
                     .arg(modelName())
                     .arg(model)
                     .arg(QString::fromStdString(LxD2xxBackend::chosen())));
    return std::nullopt;
}

std::optional<double> TurntableSession::angleFromOrigin() const {
    if (turntable.countsPerRevolution() == 0) {
        return std::nullopt;
    }
    // The SDK counts positions counterclockwise; the program clockwise, as a
    // shoot does. To a thousandth of a degree: what a script compares.
    const double clockwise =
        std::round(std::fmod(360.0 - turntable.positionInDegrees(), 360.0) * 1000.0) / 1000.0;
    return clockwise >= 360.0 ? 0.0 : clockwise;
}

bool TurntableSession::isChipLost() const {
    return turntable.lastErrorCode() == LxAbstractPlugin::ErrorCode::ChipLost ||
           !turntable.isTurntableOpened();
}

void TurntableSession::waitForMove(const TerminationSignals& termination) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!turntable.IsTurntableRotating()) {
            loop.quit();
        }
    });
    const auto watch = watchTerminationSignals(&termination, [&] {
        turntable.stopRotation();
        loop.quit();
    });
    poll.start(kPollMs);
    loop.exec();
}

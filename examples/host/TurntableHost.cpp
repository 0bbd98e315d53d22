#include "TurntableHost.h"

#include "LxKalveraTurntableControl.h"
#include "TurntableObserver.h"

#include <QQuickItem>
#include <QVariantMap>

#include <stdexcept>

using Callbacks = LxTurntableHardware::TurntableHardwarePrivate;

TurntableHost::TurntableHost(QObject* parent)
    : QObject(parent)
    , control(std::make_unique<LxKalveraTurntableControl>()) {
    // Both open notices come inside openDevice(), on this thread.
    Callbacks::hardwareOpenSucceeded = [this](LxTurntableHardware*, unsigned long model,
                                              bool supportsCustomAngles) {
        openedModel = static_cast<int>(model);
        stepperTable = supportsCustomAngles;
    };
    // Inside openDevice() when an open fails; later, on this thread, when the
    // open turntable stopped answering: the plug-in has closed it and ended
    // any shoot by then.
    Callbacks::hardwareDisconnected = [this](LxTurntableHardware*, unsigned long) {
        const bool wasOpen = openedModel >= 0;
        openedModel = -1;
        if (sequence && sequence->isRunning()) {
            sequence->abandon(control->lastError());
        } else if (wasOpen) {
            setStatus(control->lastError());
        }
        emit openModelChanged();
    };
    if (!tableStopped.isValid()) {
        // Without it no shoot would ever take its next step.
        throw std::runtime_error("The system gave no pipe for the turntable's notices.");
    }
    // On the rotation thread: only the mailbox is touched there.
    Callbacks::turntableRotationStopped = [this](LxTurntableHardware*) { tableStopped.send(0); };
    // The plug-in tells the view which model it opened, not that it closed
    // one; the view offers the import only while "Custom" is open.
    connect(this, &TurntableHost::openModelChanged, this, [this] {
        if (viewItem) {
            viewItem->setProperty("deviceModel", openedModel);
        }
    });
    // Ten times a second: the end of a preview needs no quicker answer.
    turningPoll.setInterval(100);
    connect(&turningPoll, &QTimer::timeout, this, &TurntableHost::pollTurning);
    turningPoll.start();
    refreshModels();
}

TurntableHost::~TurntableHost() {
    stopShoot();
    closeView();
    // Joins any rotation thread, which may be posting its notice.
    control.reset();
    Callbacks::hardwareOpenSucceeded = nullptr;
    Callbacks::hardwareDisconnected = nullptr;
    Callbacks::turntableRotationStopped = nullptr;
}

void TurntableHost::refreshModels() {
    QStringList names;
    for (const std::string& name : control->availableDevices()) {
        names << QString::fromStdString(name);
    }
    if (names != modelNames) {
        modelNames = names;
        emit modelsChanged();
    }
    setStatus(names.isEmpty() ? control->lastError()
                              : tr("Turntable found: choose its model and open it."));
}

int TurntableHost::modelIndex(const QString& name) const {
    for (int i = 0; i < modelNames.size(); ++i) {
        if (modelNames[i].compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

bool TurntableHost::openDevice(int model) {
    if (isShooting()) {
        setStatus(tr("Stop the shoot before opening another model."));
        return false;
    }
    if (model < 0 || model >= modelNames.size()) {
        setStatus(tr("There is no turntable model %1.").arg(model));
        return false;
    }
    control->setCurrentTurntableIndex(static_cast<unsigned long>(model));
    control->openDevice(static_cast<unsigned long>(model));
    emit openModelChanged();
    if (openedModel != model) {
        setStatus(tr("%1 could not be opened: %2").arg(modelNames[model], control->lastError()));
        return false;
    }
    TurntableObserver::tableOpenedWith(control->isClockwiseActiveHigh(),
                                       control->isMotorEnableActiveHigh());
    setStatus(tr("%1 is open.").arg(modelNames[model]));
    return true;
}

void TurntableHost::closeDevice() {
    stopShoot();
    control->closeDevice();
    if (openedModel >= 0) {
        openedModel = -1;
        emit openModelChanged();
        setStatus(tr("Turntable closed."));
    }
}

bool TurntableHost::startShoot() {
    if (isShooting()) {
        return false;
    }
    if (openedModel < 0) {
        setStatus(tr("Open a turntable model first."));
        return false;
    }
    if (!viewItem) {
        setStatus(tr("A shoot takes its settings from the settings view, which is not open."));
        return false;
    }
    sequence = std::make_unique<ShootSequence>(control.get(), stepperTable);
    connect(sequence.get(), &ShootSequence::captured, this, [this](const Capture& capture) {
        emit progressChanged();
        emit captured(capture);
    });
    connect(sequence.get(), &ShootSequence::finished, this, &TurntableHost::shootEnded);
    QString error;
    if (!sequence->start(&error)) {
        sequence.reset();
        setStatus(tr("The shoot was refused: %1").arg(error));
        emit progressChanged();
        return false;
    }
    setStatus(tr("Shooting %1 captures...").arg(sequence->captureCount()));
    return true;
}

void TurntableHost::stopShoot() {
    if (sequence && sequence->isRunning()) {
        sequence->stop();
        // The stop has joined the move but not a rotation thread already in
        // the notice, which may still be about to send. Our notice only sends,
        // so waiting for it cannot wait for this thread; once it has sent, the
        // end of the stopped move must not count as the end of the next
        // shoot's first move.
        Callbacks::waitForNotices();
        tableStopped.dropPending();
    }
}

QQuickItem* TurntableHost::openView(QQuickItem* container) {
    if (!viewItem) {
        // A success leaves an earlier error in place: cleared, so that what
        // is left afterwards is this open's.
        control->setLastError(QString());
        viewItem = control->createPluginUIFrameView();
        if (!viewItem) {
            const QString reason = control->lastError();
            // The plug-in still holds the view's objects until it is told.
            control->pluginUIFrameViewWillClose(nullptr);
            setStatus(reason.isEmpty()
                          ? tr("The settings view could not be created.")
                          : tr("The settings view could not be created: %1").arg(reason));
            return nullptr;
        }
        // The settings file was set aside, and the view shows its defaults.
        showSettingsProblem();
    }
    viewItem->setParentItem(container);
    return viewItem;
}

bool TurntableHost::closeView() {
    if (!viewItem) {
        return true;
    }
    stopShoot();
    QQuickItem* item = viewItem;
    viewItem = nullptr;
    control->setLastError(QString());
    control->pluginUIFrameViewWillClose(item);
    delete item;
    // The settings were not saved.
    showSettingsProblem();
    return control->lastErrorCode() == LxAbstractPlugin::ErrorCode::NoError;
}

void TurntableHost::showSettingsProblem() {
    if (control->lastErrorCode() != LxAbstractPlugin::ErrorCode::NoError) {
        setStatus(control->lastError());
    }
}

bool TurntableHost::isShooting() const {
    return sequence && sequence->isRunning();
}

int TurntableHost::captureNumber() const {
    return sequence ? static_cast<int>(sequence->captures().size()) : 0;
}

int TurntableHost::captureTotal() const {
    return sequence ? sequence->captureCount() : 0;
}

double TurntableHost::currentAngle() const {
    return sequence && !sequence->captures().empty() ? sequence->captures().back().angle : 0.0;
}

QVariantList TurntableHost::captureList() const {
    QVariantList list;
    if (!sequence) {
        return list;
    }
    for (const Capture& capture : sequence->captures()) {
        QVariantMap entry{{QStringLiteral("number"), capture.number},
                          {QStringLiteral("angle"), capture.angle},
                          {QStringLiteral("seconds"), capture.elapsedMs / 1000.0},
                          {QStringLiteral("cameraFired"), capture.cameraFired}};
        if (capture.tableAngle) {
            entry[QStringLiteral("tableAngle")] = *capture.tableAngle;
        }
        list << entry;
    }
    return list;
}

void TurntableHost::pollTurning() {
    const bool turning = control->IsTurntableRotating();
    if (turning != turningNow) {
        turningNow = turning;
        emit turningChanged();
    }
}

void TurntableHost::setStatus(const QString& text) {
    if (text != statusText) {
        statusText = text;
        emit statusChanged();
    }
}

void TurntableHost::shootEnded(bool completed, const QString& message) {
    setStatus(message);
    emit progressChanged();
    emit shootFinished(completed, message);
}

#include "LxKalveraTurntableControl.h"

#include "LxChipOpenFailure.h"
#include "LxD2xxBackend.h"
#include "LxDCMotor.h"
#include "LxHostNoticeCall.h"
#include "LxKalveraTurntableControl_p.h"
#include "LxShootRefusals.h"
#include "LxStepperMotor.h"
#include "LxTurntableModels.h"
#include "LxUsbRoundTrip.h"

#include <QLoggingCategory>
#include <QObject>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>

namespace {

// What the SDK found out about the chip at an open: only a fallback that
// costs the user step timing is a warning.
Q_LOGGING_CATEGORY(chipLog, "kalvera.turntable.chip", QtWarningMsg)
// How the host drives a shoot: mistakes that the SDK cannot refuse without
// breaking hosts that make them, but that cost the user a capture.
Q_LOGGING_CATEGORY(shootLog, "kalvera.turntable.shoot", QtWarningMsg)

// Seconds as whole milliseconds, truncated; negative and invalid values count as 0.
int secondsToTimerMs(float seconds) {
    const float ms = seconds * 1000.0f;
    if (!(ms > 0.0f)) {
        return 0;
    }
    return ms < static_cast<float>(INT_MAX) ? static_cast<int>(ms) : INT_MAX;
}

// Loads the chosen USB backend; when it cannot be had, its reason becomes
// the last error of `control`. A backend that cannot be had is no absent
// turntable: the user needs to hear which library is missing, not to check
// the cable.
bool loadBackend(LxKalveraTurntableControl& control) {
    std::string failure;
    if (LxD2xxBackend::load(&failure)) {
        return true;
    }
    const bool known = !LxD2xxBackend::description(LxD2xxBackend::chosen()).empty();
    control.setLastError(known ? LxAbstractPlugin::ErrorCode::BackendNotLoadable
                               : LxAbstractPlugin::ErrorCode::UnknownBackend,
                         QString::fromStdString(failure));
    return false;
}

} // namespace

static_assert(turntableModels.size() == LxTurntableHardware::TurntableModelCount);

LxKalveraTurntableControl::LxKalveraTurntableControl()
    : d(std::make_unique<TurntableControlPrivate>()) {
    d->controllerThread =
        std::make_unique<LxControllerThread>([this](int call) { receiveCall(call); });
    SetRotationGlobalOriginHere();
}

// On whatever thread it runs: a rotation thread calls this controller at its
// end, so it is stopped and joined before anything it uses goes; and what was
// handed to the controller's thread waits for nothing of it any more.
LxKalveraTurntableControl::~LxKalveraTurntableControl() {
    d->controllerThread->closeGate();
    closeNow();
    if (d->settingsView && !d->controllerThread->isCurrent()) {
        d->settingsView->handOverToTheirThread();
    }
    d->settingsView.reset();
}

void LxKalveraTurntableControl::receiveCall(int call) {
    switch (call) {
    case TurntableControlPrivate::kCloseDeviceCall:
        closeNow();
        break;
    case TurntableControlPrivate::kChipLostCall:
        releaseLostDevice();
        break;
    case TurntableControlPrivate::kReturnToStartCall:
        returnToStart();
        break;
    default:
        startStepTimer(call);
        break;
    }
}

std::list<std::string> LxKalveraTurntableControl::availableDevices() const {
    // The chip this controller has open is flagged as open like any other:
    // the search would not find it, and a later reopen would have no chip.
    auto* const self = const_cast<LxKalveraTurntableControl*>(this);
    if (!motorDriver) {
        if (!loadBackend(*self)) {
            deviceIndex = -1;
            d->deviceSerialNumber.clear();
            return {};
        }
        deviceIndex = LxFTDIController::availableDeviceIndex(TURNTABLE_CHIP_SEARCH_TEXT,
                                                             &d->deviceSerialNumber);
    }
    if (deviceIndex == -1) {
        const bool unopenable =
            LxFTDIController::isUnopenableChipAttached(TURNTABLE_CHIP_SEARCH_TEXT);
        const std::wstring text =
            unopenable ? L"The turntable's USB chip is attached but cannot be opened: another "
                         L"program or driver holds it, or this user may not open it.\n\n"
                         L"- close other programs that use the turntable\n"
                         L"- on Linux, install the udev rule 60-kalvera-turntable.rules into "
                         L"/etc/udev/rules.d/ and plug the turntable in again\n"
                       : L"The turntable device cannot be found.\n\n"
                         L"- make sure driver is installed\n"
                         L"- make sure turntable is powered on\n"
                         L"- make sure turntable is connected via USB\n";
        // A search is a query, but like any failing operation it leaves its reason.
        self->setLastError(unopenable ? ErrorCode::ChipUnopenable : ErrorCode::DeviceNotFound,
                           LxAbstractPlugin::wideToNativeString(text));
        return {};
    }
    std::list<std::string> names;
    for (const LxTurntableModel& model : turntableModels) {
        names.emplace_back(model.name);
    }
    return names;
}

void LxKalveraTurntableControl::openDevice(unsigned long model, bool* opened) {
    // Refused before anything is closed: a host that asks for a model that
    // does not exist keeps the one it has.
    if (refuseUnknownModel(model)) {
        *opened = false;
        return;
    }
    // A turntable notice runs on the rotation thread of the driver this would
    // replace; and the driver, its timers and its hand-overs belong to the
    // thread that first opened a device.
    if (LxFTDIController::isOnAnyRotationThread() || !d->controllerThread->bindToCallingThread()) {
        *opened = false;
        setLastError(ErrorCode::WrongThread,
                     d->controllerThread->hasEnded()
                         ? QObject::tr("The thread that opened the turntable first has ended. "
                                       "Make a new controller on a thread that runs.")
                         : QObject::tr("Open the turntable from the thread that opened it "
                                       "first, not inside a turntable notice."));
        return;
    }
    closeNow();
    // What was asked for the device before (a close, a step, the move back)
    // is not for this one.
    d->controllerThread->dropPosted();
    const LxTurntableModel& row = turntableModels[model];
    if (row.dcMotor) {
        motorDriver = std::make_unique<LxDCMotor>();
    } else {
        motorDriver = std::make_unique<LxStepperMotor>(static_cast<int>(model));
    }
    if (row.countsPerRevolution) {
        SetCountsPerRevolution(*row.countsPerRevolution);
    }
    if (row.lockMotorWhenIdle) {
        SetLockMotorWhenIdle(*row.lockMotorWhenIdle);
    }
    if (row.motorEnableActiveHigh) {
        SetMotorEnableActiveHigh(*row.motorEnableActiveHigh);
    }
    if (row.clockwiseActiveHigh) {
        SetClockwiseActiveHigh(*row.clockwiseActiveHigh);
    }
    motorDriver->SetChipClockedStepTrains(d->chipClockedStepTrains);
    motorDriver->setMoveEndedHandler([this] { turntableRotationStoppedHelper(); });
    motorDriver->setPositionHandler([this](double degrees) { d->livePosition.store(degrees); });

    const LxChipOpenResult result = motorDriver->openFoundDevice(
        deviceIndex, TURNTABLE_CHIP_SEARCH_TEXT, d->deviceSerialNumber);
    d->chipSetUpSteps.clear();
    for (const LxFTDIController::SetUpCall& call : motorDriver->setUpCalls()) {
        d->chipSetUpSteps.push_back(
            {call.call, call.status, LxChipOpenFailure::statusText(call.status)});
    }
    *opened = static_cast<bool>(result);
    d->openedModel = model;
    if (result && !row.dcMotor) {
        logByteClock();
    }
    if (!result) {
        // A backend chosen since the search that does not load finds no chip:
        // its own reason is the one to give.
        if (loadBackend(*this)) {
            setLastError(LxChipOpenFailure::code(result), LxChipOpenFailure::text(result),
                         result.status);
        }
        motorDriver.reset();
    }
    updateDeviceSettingsUI(static_cast<int>(model));
}

std::vector<LxTurntableChip> LxKalveraTurntableControl::attachedChips() const {
    // The backend of an open device stays loaded: a choice made since applies
    // to the next search, as in availableDevices().
    if (!motorDriver && !loadBackend(*const_cast<LxKalveraTurntableControl*>(this))) {
        return {};
    }
    return LxFTDIController::attachedChips(TURNTABLE_CHIP_SEARCH_TEXT);
}

std::vector<LxChipSetUpStep> LxKalveraTurntableControl::chipSetUpSteps() const {
    return d->chipSetUpSteps;
}

double LxKalveraTurntableControl::measureUsbRoundTripMilliseconds() {
    if (!motorDriver) {
        return -1.0;
    }
    // A move's thread owns the chip: a read between its writes would
    // take the purge and the read from under it.
    if (LxShootRefusals::refuseWhileTurning(*this)) {
        return -1.0;
    }
    const std::optional<double> median = LxUsbRoundTrip::medianMilliseconds(*motorDriver);
    if (!median) {
        setLastError(ErrorCode::PinReadFailed,
                     QObject::tr("The turntable's USB chip did not answer a read of its pins."));
        return -1.0;
    }
    return *median;
}

void LxKalveraTurntableControl::openDevice(unsigned long model) {
    bool opened = false;
    openDevice(model, &opened);
    if (opened) {
        hardwareOpenSucceeded(model, model != STANDARD_MODEL_INDEX);
    } else if (model < turntableModels.size()) {
        // A model that does not exist was refused and closed nothing: a host
        // told of a disconnection would drop the device that is still open.
        hardwareDisconnected(model);
    }
}

void LxKalveraTurntableControl::closeDevice() {
    // From another thread (a turntable notice, a worker): the driver must not
    // go under its own rotation thread, nor under the controller's thread,
    // which owns it and its timers. The close is carried out there; only a
    // thread without an event loop to take it closes here.
    if (!d->controllerThread->isCurrent() &&
        d->controllerThread->post(TurntableControlPrivate::kCloseDeviceCall)) {
        return;
    }
    closeNow();
}

void LxKalveraTurntableControl::closeNow() {
    if (!motorDriver) {
        return;
    }
    if (d->controllerThread->isCurrent()) {
        // A step still waiting for its delay belongs to this device's shoot.
        ++d->stepsGeneration;
    }
    if (d->idleLockOfSettings) {
        motorDriver->SetLockMotorWhenIdle(*d->idleLockOfSettings);
        d->idleLockOfSettings.reset();
    }
    motorDriver->closeDevice();
    motorDriver.reset();
    d->livePosition.store(0.0);
}

namespace {

// Read under the lock under which the first KalveraTurntable object assigns
// the callback, maybe while this host's device is open.
bool isDisconnectionTold() {
    std::lock_guard<std::mutex> lock(LxAbstractPlugin::AbstractPluginPrivate::asyncMutex);
    return static_cast<bool>(LxTurntableHardware::TurntableHardwarePrivate::hardwareDisconnected);
}

} // namespace

void LxKalveraTurntableControl::releaseLostDevice() {
    // The host may have closed or reopened the device since the move ended.
    if (!motorDriver || motorDriver->IsTurntableRotating() || !motorDriver->hasLostChip()) {
        return;
    }
    // The shoot cannot go on without its table: the host starts it anew
    // once the turntable is back.
    LxTurntableHardware::stopsSpinning();
    d->pendingRotationInDegrees = 0.0f;
    closeDevice();
    if (isDisconnectionTold()) {
        // From a timer of its own, not from inside the mailbox's delivery, and
        // outside the gate: a host may well destroy the controller when it
        // hears of this, also on a worker thread that it joins.
        d->controllerThread->startNoticeTimer(
            0, [this, model = d->openedModel] { hardwareDisconnected(model); });
    }
}

bool LxKalveraTurntableControl::isTurntableOpened() const {
    return motorDriver != nullptr;
}

void LxKalveraTurntableControl::SetCountsPerRevolution(unsigned int counts) {
    if (motorDriver) {
        motorDriver->SetCountsPerRevolution(counts);
    }
}

unsigned int LxKalveraTurntableControl::countsPerRevolution() const {
    return motorDriver ? motorDriver->CountsPerRevolution() : 0;
}

void LxKalveraTurntableControl::SetClockwiseActiveHigh(bool activeHigh) {
    if (motorDriver) {
        motorDriver->SetClockwiseActiveHigh(activeHigh);
    }
}

bool LxKalveraTurntableControl::isClockwiseActiveHigh() const {
    return motorDriver && motorDriver->isClockwiseActiveHigh();
}

void LxKalveraTurntableControl::SetMotorEnableActiveHigh(bool activeHigh) {
    if (motorDriver) {
        motorDriver->SetMotorEnableActiveHigh(activeHigh);
    }
}

bool LxKalveraTurntableControl::isMotorEnableActiveHigh() const {
    return motorDriver && motorDriver->isMotorEnableActiveHigh();
}

void LxKalveraTurntableControl::SetLockMotorWhenIdle(bool lock) {
    if (motorDriver) {
        motorDriver->SetLockMotorWhenIdle(lock);
    }
}

bool LxKalveraTurntableControl::isLockMotorWhenIdle() const {
    return motorDriver && motorDriver->isLockMotorWhenIdle();
}

void LxKalveraTurntableControl::SetChipClockedStepTrains(bool on) {
    if (motorDriver) {
        d->chipClockedStepTrains = on;
        motorDriver->SetChipClockedStepTrains(on);
    }
}

bool LxKalveraTurntableControl::isChipClockedStepTrains() const {
    return motorDriver && motorDriver->runsChipClockedStepTrains();
}

int LxKalveraTurntableControl::chipByteClockFactor() const {
    return motorDriver ? motorDriver->byteClock().factor : 0;
}

QString LxKalveraTurntableControl::chipByteClockProblem() const {
    return motorDriver ? QString::fromStdString(motorDriver->byteClock().problem) : QString();
}

void LxKalveraTurntableControl::logByteClock() const {
    const LxByteClockReading& clock = motorDriver->byteClock();
    if (clock.factor != 0) {
        qCInfo(chipLog,
               "The chip clocks %d bit-bang bytes per baud period (%.0f bytes a second "
               "measured at 7812.5 baud).",
               clock.factor, clock.bytesPerSecond);
    } else if (d->chipClockedStepTrains) {
        qCWarning(chipLog, "Stepper moves are per-edge writes, not chip-clocked step trains: %s.",
                  clock.problem.c_str());
    }
}

// The driver bounds the step time; the public header states its bound.
static_assert(LxKalveraTurntableControl::MAXIMUM_STEP_TIME_MS ==
              LxFTDIController::MAXIMUM_STEP_TIME_MS);

void LxKalveraTurntableControl::SetRotationSpeed(unsigned int speed) {
    if (motorDriver) {
        motorDriver->SetRotationSpeed(speed);
    }
}

unsigned int LxKalveraTurntableControl::rotationSpeed() const {
    return motorDriver ? motorDriver->RotationSpeed() : 0;
}

void LxKalveraTurntableControl::SetRotationClockwise() {
    if (motorDriver) {
        motorDriver->SetRotationClockwise();
    }
}

void LxKalveraTurntableControl::SetRotationCounterClockwise() {
    if (motorDriver) {
        motorDriver->SetRotationCounterClockwise();
    }
}

bool LxKalveraTurntableControl::isRotationClockwise() const {
    return motorDriver && motorDriver->isRotationClockwise();
}

int LxKalveraTurntableControl::SetRotationIncrementInCounts(int counts) {
    return motorDriver ? motorDriver->SetRotationIncrementInCounts(counts) : 0;
}

double LxKalveraTurntableControl::SetRotationIncrementInDegrees(double degrees) {
    return motorDriver ? motorDriver->SetRotationIncrementInDegrees(degrees) : 0.0;
}

double LxKalveraTurntableControl::SetRotationNextGlobalPositionInDegrees(double degrees) {
    return motorDriver ? motorDriver->SetRotationNextGlobalPositionInDegrees(degrees) : degrees;
}

void LxKalveraTurntableControl::SetRotationGlobalOriginHere() {
    if (motorDriver) {
        motorDriver->SetRotationGlobalOriginHere();
    }
}

bool LxKalveraTurntableControl::startRotation() {
    return motorDriver && motorDriver->startRotation();
}

bool LxKalveraTurntableControl::stopRotation() {
    return motorDriver && motorDriver->stopRotation();
}

double LxKalveraTurntableControl::positionInDegrees() const {
    return d->livePosition.load();
}

bool LxKalveraTurntableControl::IsTurntableRotating() {
    return motorDriver && motorDriver->IsTurntableRotating();
}

void LxKalveraTurntableControl::stopsSpinning() {
    // Also after the move has ended: a notice still waiting for its
    // pre-capture delay would reach a host that asked for a stop, and a step
    // waiting for its post-capture delay would turn the table after it.
    if (d->controllerThread->isCurrent()) {
        ++d->stepsGeneration;
    }
    stopRotation();
}

void LxKalveraTurntableControl::setComplete360TurnsCount(unsigned short count) {
    d->complete360TurnsCount = count;
}

unsigned short LxKalveraTurntableControl::complete360TurnsCount() const {
    return d->complete360TurnsCount;
}

void LxKalveraTurntableControl::setDelaySeconds(float preDelay, float postDelay) {
    d->preDelaySeconds = preDelay;
    d->postDelaySeconds = postDelay;
}

void LxKalveraTurntableControl::delaySeconds(float* preDelay, float* postDelay) const {
    *preDelay = d->preDelaySeconds;
    *postDelay = d->postDelaySeconds;
}

float LxKalveraTurntableControl::preDelaySeconds() const {
    return d->preDelaySeconds;
}

float LxKalveraTurntableControl::postDelaySeconds() const {
    return d->postDelaySeconds;
}

void LxKalveraTurntableControl::setUsingCustomAngles(bool enable) {
    d->usingCustomAngles = enable;
}

bool LxKalveraTurntableControl::isUsingCustomAngles() const {
    return d->usingCustomAngles;
}

void LxKalveraTurntableControl::setUsingIndexReshoot(bool enable) {
    d->usingIndexReshoot = enable;
}

bool LxKalveraTurntableControl::isUsingIndexReshoot() const {
    return d->usingIndexReshoot;
}

bool LxKalveraTurntableControl::rotateDeviceToAngle(float angle) {
    const bool firstCapture = complete360ProductPhotographyImageIndex() == 0;
    float* plannedAngles = nullptr;
    complete360ProductPhotographyImagesCount(&plannedAngles);
    // A custom plan whose first angle is 0 asks for it itself.
    const bool asPlanned = plannedAngles && plannedAngles[0] == angle;
    if (LxTurntableHardware::rotateDeviceToAngle(angle)) {
        if (firstCapture && angle == 0.0f && !asPlanned) {
            // Taken as asked, a step that turns nothing: the host read the
            // angle as where this capture is taken rather than where the next
            // one is, and every capture of the shoot comes one position late.
            qCWarning(shootLog,
                      "The first capture of a shoot asked for 0 degrees, where the table "
                      "stands already: each call passes the position of the next capture, "
                      "the last one 360.");
        }
        if (d->useTriggerShutterRelease && motorDriver) {
            motorDriver->triggerShutterRelease();
        }
        if (angle > 0.0f) {
            SetRotationClockwise();
        } else {
            SetRotationCounterClockwise();
        }
        d->pendingRotationInDegrees = -angle;
        // Angles count from the shoot's start, where its first step sets out.
        d->askedTurnInDegrees = std::fabs(angle - (firstCapture ? 0.0f : d->lastStepAngle));
        d->lastStepAngle = angle;
        delayRotatingDevice(d->postDelaySeconds);
        return true;
    }
    // The sequence is over: back to the start, unless the last step was a whole turn.
    const float lastTarget = d->pendingRotationInDegrees;
    d->pendingRotationInDegrees = 0.0f;
    if (std::fabs(lastTarget) < 360.0f) {
        if (d->controllerThread->isCurrent()) {
            returnToStart();
        } else {
            // Inside the last notice, on the rotation thread, which cannot
            // start a move: the controller's thread starts it, as it does the
            // steps.
            d->controllerThread->post(TurntableControlPrivate::kReturnToStartCall);
        }
    }
    return false;
}

void LxKalveraTurntableControl::returnToStart() {
    if (!motorDriver || IsTurntableRotating()) {
        return;
    }
    // Rounding to whole counts may have brought the last capture onto the
    // start already; a move there would be a whole turn.
    if (motorDriver->isAtGlobalPosition(0.0)) {
        return;
    }
    motorDriver->SetRotationNextGlobalPositionInDegrees(360.0);
    motorDriver->startRotation();
}

void LxKalveraTurntableControl::delayRotatingDevice(float seconds) {
    const int ms = secondsToTimerMs(seconds);
    if (d->controllerThread->isCurrent()) {
        startStepTimer(ms);
    } else {
        // A host that takes the next step inside its notice calls from the
        // rotation thread, which has no event loop to run a timer.
        d->controllerThread->post(ms);
    }
}

void LxKalveraTurntableControl::startStepTimer(int ms) {
    d->controllerThread->startTimer(ms, [this, generation = d->stepsGeneration] {
        if (generation == d->stepsGeneration) {
            rotateDeviceDelayed();
        }
    });
}

void LxKalveraTurntableControl::rotateDeviceDelayed() {
    if (!motorDriver || IsTurntableRotating()) {
        // Closed while the timer was pending, or a step taken twice before its
        // timer fired: the running move reports its own end.
        return;
    }
    // Rounding to whole counts may have brought the table onto this step's
    // target already, or just past it: planned from there, the move would be
    // a whole turn. Only a step that asks for one (the single capture of a
    // shoot of one) makes it.
    const bool reachedByRounding = motorDriver->isAtGlobalPosition(d->pendingRotationInDegrees) &&
                                   d->askedTurnInDegrees < 180.0f;
    if (d->pendingRotationInDegrees != 0.0f && !reachedByRounding) {
        motorDriver->SetRotationNextGlobalPositionInDegrees(d->pendingRotationInDegrees);
        if (motorDriver->isMovePlanned()) {
            // A move that the driver refuses to start is not reported.
            motorDriver->startRotation();
            return;
        }
    }
    // Nothing to turn for this step (an angle of 0, or less than half a count
    // away): it still ends as a move does, on a rotation thread like every
    // other notice of the sequence, or the sequence would stall.
    if (complete360ProductPhotographyImagesCount(nullptr) != 0) {
        motorDriver->startEmptyMove();
    }
}

bool LxKalveraTurntableControl::shutterReleaseCameraHardware() {
    return motorDriver && motorDriver->triggerShutterRelease();
}

bool LxKalveraTurntableControl::pluginUIFrameViewWillClose(QQuickItem* view) {
    if (d->viewExists) {
        d->viewExists = false;
        d->settingsView->close();
    }
    return LxAbstractPlugin::pluginUIFrameViewWillClose(view);
}

void LxKalveraTurntableControl::updateDeviceSettingsUI(int modelIndex) {
    if (!d->viewExists) {
        return;
    }
    if (!d->controllerThread->isCurrent()) {
        // The end of a move, on its rotation thread. The view's objects belong
        // to the controller's thread, where a close may be releasing them now:
        // the refresh runs there.
        d->settingsView->postRefresh(modelIndex);
        return;
    }
    d->settingsView->refreshDeviceSettings(modelIndex);
}

void LxKalveraTurntableControl::turntableRotationStoppedHelper() {
    updateDeviceSettingsUI(-1);
    if (LxFTDIController::hasThisRotationLostChip()) {
        // The table did not get where the move was to take it: no capture
        // notice. The host hears of the lost device on its own thread.
        setLastError(ErrorCode::ChipLost,
                     QObject::tr("The turntable does not answer. Check its USB connection "
                                 "and open it again."));
        d->controllerThread->post(TurntableControlPrivate::kChipLostCall);
        return;
    }
    if (complete360ProductPhotographyImagesCount(nullptr) == 0) {
        // Not a move of a running sequence: nothing to tell the host.
        return;
    }
    // A negative delay (the delays are -1 until set) means no delay. A stop
    // meanwhile drops the notice: the host asked for no more of this move.
    const float ms = 1000.0f * d->preDelaySeconds;
    if (ms >= 1.0f) {
        // A day caps values (and infinity) that no clock could sleep.
        const float day = 86400000.0f;
        const std::chrono::milliseconds delay(static_cast<std::int64_t>(ms < day ? ms : day));
        if (!LxFTDIController::sleepBeforeNotice(delay)) {
            return;
        }
    }
    // The host's callback as the notice begins; with none assigned there is
    // no one to tell (an exception cannot leave a rotation thread without
    // ending the process).
    std::optional<LxHostNoticeCall> notice;
    if (!LxFTDIController::beginHostNotice([this, &notice] { notice.emplace(this); })) {
        return;
    }
    // Nothing of this controller is touched once the host has been told: the
    // host may destroy it inside the notice, or on another thread meanwhile.
    struct NoticeEnd {
        ~NoticeEnd() { LxFTDIController::endHostNotice(); }
    } noticeEnd;
    (*notice)();
}

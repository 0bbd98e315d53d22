#include "LxQmlTurntableControl.h"

#include "LxKalveraTurntableControl.h"
#include "LxSettingsMap.h"
#include "LxShootRefusals.h"
#include "LxTurntableModels.h"
#include "LxViewFunctions.h"

LxQmlTurntableControl::LxQmlTurntableControl(
    LxKalveraTurntableControl* control,
    std::function<bool(const std::function<void()>&)> gateKeeper, QObject* parent)
    : QObject(parent)
    , control(control)
    , gateKeeper(std::move(gateKeeper)) {}

bool LxQmlTurntableControl::whileControllerLives(
    const std::function<bool(LxKalveraTurntableControl&)>& call) const {
    bool result = false;
    gateKeeper([&] { result = call(*control); });
    return result;
}

bool LxQmlTurntableControl::startRotationPreview(int degrees, bool isCounterclockwise) {
    return whileControllerLives([&](LxKalveraTurntableControl& control) {
        // A running move would not start a second one, and its settings may
        // not change until it ends (its thread reads them at its end).
        // Between the moves of a shoot, a preview would take the place of the
        // next capture's.
        if (!control.isTurntableOpened() || LxShootRefusals::refuseWhileBusy(control)) {
            return false;
        }
        // The preview turns with the speed and motor settings the user sees now.
        control.saveUISettingsInternalUse();
        if (isCounterclockwise) {
            control.SetRotationCounterClockwise();
        } else {
            control.SetRotationClockwise();
        }
        if (degrees != 0) {
            control.SetRotationIncrementInDegrees(static_cast<double>(degrees));
        } else {
            control.SetRotationIncrementInCounts(0);
        }
        return control.startRotation();
    });
}

bool LxQmlTurntableControl::stopRotationPreview() {
    // The shoot's move is not the view's to stop: its notice would be dropped
    // and the shoot would wait for it forever.
    return whileControllerLives([](LxKalveraTurntableControl& control) {
        return !LxShootRefusals::refuseWhileShooting(control) && control.stopRotation();
    });
}

void LxQmlTurntableControl::customTurntableImportStandardSettings(int predefinedIndex) {
    QVariantMap settings;
    const bool imported = whileControllerLives([&](LxKalveraTurntableControl& control) {
        // Reopening the device would stop the table in mid-move and leave it
        // as "Custom", without the settings a running shoot was planned with.
        if (LxShootRefusals::refuseWhileBusy(control)) {
            return false;
        }
        control.closeDevice();
        bool opened = false;
        // Widened with its sign: a negative index is no model and opens nothing.
        control.openDevice(static_cast<unsigned long>(predefinedIndex), &opened);
        const unsigned int counts = control.countsPerRevolution();
        const bool clockwiseActiveHigh = control.isClockwiseActiveHigh();
        control.closeDevice();
        control.openDevice(CUSTOM_MODEL_INDEX, &opened);

        settings.insert(LxSettingsKeys::stepsPerRevolutionText,
                        QString::number(static_cast<int>(counts), 10));
        settings.insert(LxSettingsKeys::isClockwiseActiveHigh, clockwiseActiveHigh);
        // Every turntable model enables its motor with a high level.
        settings.insert(LxSettingsKeys::isMotorEnableActiveHigh, true);
        return true;
    });
    if (imported) {
        // Queued like the refreshes of both opens, so the view shows this last.
        LxViewFunctions::postDeviceSettings(parent(), static_cast<int>(CUSTOM_MODEL_INDEX),
                                            settings);
    }
}

bool LxQmlTurntableControl::triggerShutterRelease() {
    return whileControllerLives([](LxKalveraTurntableControl& control) {
        return !LxShootRefusals::refuseWhileShooting(control) &&
               control.shutterReleaseCameraHardware();
    });
}

bool LxQmlTurntableControl::isShootRunning() const {
    return whileControllerLives(
        [](LxKalveraTurntableControl& control) { return control.isShootRunning(); });
}

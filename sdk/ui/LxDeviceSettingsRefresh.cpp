// The refresh of the settings view's device settings: after a model has been
// opened, and at the end of every move.
#include "LxKalveraTurntableControl.h"

#include "LxKalveraTurntableControl_p.h"
#include "LxSettingsMap.h"
#include "LxTurntableModels.h"
#include "LxViewFunctions.h"

#include <QQuickItem>

namespace {

constexpr int MOVE_ENDED = -1;

QVariantMap deviceSettingsOf(const LxKalveraTurntableControl& control) {
    QVariantMap settings;
    settings.insert(LxSettingsMap::stepsPerRevolutionText,
                    QString::number(control.countsPerRevolution(), 10));
    settings.insert(LxSettingsMap::isClockwiseActiveHigh, control.isClockwiseActiveHigh());
    settings.insert(LxSettingsMap::isMotorEnableActiveHigh, control.isMotorEnableActiveHigh());
    return settings;
}

} // namespace

void LxKalveraTurntableControl::updateDeviceSettingsUI(int modelIndex) {
    if (!d->controllerThread->isCurrent()) {
        // The end of a move, on its rotation thread. The view's objects belong
        // to the controller's thread, where a close may be releasing them now:
        // the refresh runs there. Refreshes still on their way when the
        // controller goes are dropped with the mailbox.
        if (d->viewExists) {
            d->viewRefreshes->send(modelIndex);
        }
        return;
    }
    if (!d->uiObjects) {
        return;
    }
    QVariant deviceSettings;
    if (modelIndex == static_cast<int>(CUSTOM_MODEL_INDEX)) {
        // "Custom" shows the user's own values, not the driver's defaults.
        deviceSettings = d->uiObjects->advancedSettings;
    } else if (modelIndex != MOVE_ENDED) {
        deviceSettings = deviceSettingsOf(*this);
    }
    LxViewFunctions::postDeviceSettings(d->uiObjects->frameView.data(), modelIndex, deviceSettings);
}

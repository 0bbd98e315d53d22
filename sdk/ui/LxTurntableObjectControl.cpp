#include "LxTurntableObjectControl.h"

#include "KalveraTurntable.h"
#include "LxSettingsKeys.h"
#include "LxTurntableModels.h"
#include "LxViewFunctions.h"

LxTurntableObjectControl::LxTurntableObjectControl(QObject* parent)
    : QObject(parent) {}

void LxTurntableObjectControl::setTurntable(KalveraTurntable* turntable) {
    table = turntable;
}

void LxTurntableObjectControl::setView(QObject* viewItem) {
    view = viewItem;
}

bool LxTurntableObjectControl::startRotationPreview(int degrees, bool isCounterclockwise) {
    if (!table || !table->isOpened() || table->isRotating() || isShootRunning()) {
        return false;
    }
    // The preview turns with the speed and motor settings the user sees now,
    // the counts of "Custom" among them, which no shoot may have given yet.
    table->applySettings(
        LxViewFunctions::saveSettings(view, static_cast<unsigned long>(table->model())).toMap());
    if (degrees == 0) {
        table->turnContinuously(!isCounterclockwise);
    } else {
        // The turntable counts counterclockwise as positive.
        table->rotateBy(isCounterclockwise ? -degrees : degrees);
    }
    return true;
}

bool LxTurntableObjectControl::stopRotationPreview() {
    // The shoot's moves are stopped by stopShoot(), which also ends the shoot.
    if (!table || isShootRunning()) {
        return false;
    }
    table->stop();
    return true;
}

void LxTurntableObjectControl::customTurntableImportStandardSettings(int predefinedIndex) {
    QVariantMap settings = modelSettings(predefinedIndex);
    if (settings.isEmpty() || isShootRunning()) {
        return;
    }
    settings.insert(LxSettingsKeys::isMotorEnableActiveHigh, true);
    LxViewFunctions::postDeviceSettings(view, static_cast<int>(CUSTOM_MODEL_INDEX), settings);
}

bool LxTurntableObjectControl::triggerShutterRelease() {
    if (!table || isShootRunning()) {
        return false;
    }
    table->fireShutter();
    return true;
}

bool LxTurntableObjectControl::isShootRunning() const {
    return table && table->shoot() != KalveraTurntable::ShootState::Idle;
}

QVariantMap LxTurntableObjectControl::modelSettings(int modelIndex) {
    if (modelIndex <= static_cast<int>(CUSTOM_MODEL_INDEX) ||
        modelIndex >= static_cast<int>(turntableModels.size())) {
        return QVariantMap();
    }
    const LxTurntableModel& model = turntableModels.at(static_cast<size_t>(modelIndex));
    QVariantMap settings;
    settings.insert(LxSettingsKeys::stepsPerRevolutionText,
                    QString::number(model.countsPerRevolution.value_or(0)));
    settings.insert(LxSettingsKeys::isClockwiseActiveHigh,
                    model.clockwiseActiveHigh.value_or(false));
    settings.insert(LxSettingsKeys::isMotorEnableActiveHigh,
                    model.motorEnableActiveHigh.value_or(false));
    return settings;
}

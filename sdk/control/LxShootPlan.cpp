#include "LxShootPlan.h"

#include "LxSettingsMap.h"

#include <QVariantList>

LxShootPlan LxShootPlan::fromSettingsMap(const QVariantMap& settings) {
    LxShootPlan plan;
    plan.frames = LxSettingsMap::framesCount(settings).value_or(0);
    plan.useCaptureAngles = settings.value(LxSettingsKeys::useCustomAngles).toBool();
    for (const QVariant& angle : settings.value(LxSettingsKeys::customAnglesList).toList()) {
        plan.captureAngles.push_back(angle.toString().toFloat());
    }

    const QVariantMap advanced =
        settings.value(LxSettingsKeys::customTurntableAdvancedSettings).toMap();
    plan.countsPerRevolution = LxSettingsMap::stepsPerRevolution(advanced);
    plan.clockwiseActiveHigh = advanced.value(LxSettingsKeys::isClockwiseActiveHigh).toBool();
    plan.motorEnableActiveHigh = advanced.value(LxSettingsKeys::isMotorEnableActiveHigh).toBool();

    LxSettingsMap::captureDelays(settings, &plan.preCaptureDelaySeconds,
                                 &plan.postCaptureDelaySeconds);
    plan.speed = settings.value(LxSettingsKeys::rotationSpeed).toUInt();
    plan.triggerShutterRelease = settings.value(LxSettingsKeys::triggerShutterRelease).toBool();
    plan.lockWhenIdle = settings.value(LxSettingsKeys::isLockTableWhenIdle).toBool();
    plan.perEdgeStepWrites = LxSettingsMap::perEdgeStepWrites(settings);
    return plan;
}

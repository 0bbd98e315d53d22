// The plan of a 360-degree product photography sequence: from the settings the
// view holds to the number of captures, the capture angles and the settings
// that the controller and its motor apply for the shoot.
#include "LxKalveraTurntableControl.h"

#include "LxKalveraTurntableControl_p.h"
#include "LxSettingsMap.h"
#include "LxTurntableModels.h"

#include <QObject>
#include <QStringList>

#include <limits>

bool LxKalveraTurntableControl::complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                                       float** angles) {
    if (!d->uiObjects || d->uiObjects->frameView.isNull()) {
        setLastError(QObject::tr("The turntable settings view must be open to plan a shoot."));
        return false;
    }
    const unsigned long turntableIndex = currentTurntableIndex();
    const QVariantMap settings = d->uiObjects->viewSettings(turntableIndex);

    if (settings.value(LxSettingsMap::useCustomAngles).toBool()) {
        if (angles) {
            QStringList customAngles = d->uiObjects->customAngles();
            if (customAngles.isEmpty()) {
                setLastError(
                    QObject::tr("Invalid custom angles array. Make sure the list is not empty."));
                return false;
            }
            if (turntableIndex == STANDARD_MODEL_INDEX) {
                setLastError(QObject::tr("Standard turntable does not support custom angles."));
                return false;
            }
            // The count, the closing whole turn included, is 16 bits wide: a
            // longer list (a settings file can hold any) would wrap it, and
            // the shoot would stop short of its angles or not run at all.
            if (customAngles.size() >= std::numeric_limits<unsigned short>::max()) {
                setLastError(
                    QObject::tr("Too many custom angles. A shoot takes at most 65535 captures."));
                return false;
            }
            d->usingCustomAngles = true;
            // Every sequence closes with a whole turn.
            customAngles.append(QStringLiteral("360"));
            *imagesCount = static_cast<unsigned short>(customAngles.size());
            *angles = new float[customAngles.size()];
            for (int i = 0; i < customAngles.size(); ++i) {
                (*angles)[i] = customAngles.at(i).toFloat();
            }
        }
    } else {
        *imagesCount = LxSettingsMap::framesCount(settings);
    }

    if (!d->savingSettingsOnly) {
        LxTurntableHardware::complete360ProductPhotographyWillStart(imagesCount, angles);
    }
    float preDelay = 0.0f;
    LxSettingsMap::captureDelays(settings, &preDelay, &d->postDelaySeconds);
    d->preDelaySeconds = preDelay;
    SetRotationSpeed(LxSettingsMap::stepTimeForSpeed(settings));

    if (turntableIndex == CUSTOM_MODEL_INDEX) {
        d->uiObjects->advancedSettings =
            settings.value(LxSettingsMap::customTurntableAdvancedSettings).toMap();
        const QVariantMap& advanced = d->uiObjects->advancedSettings;
        SetCountsPerRevolution(LxSettingsMap::stepsPerRevolution(advanced));
        if (countsPerRevolution() == 0) {
            setLastError(QStringLiteral("Counts per revolution have not been set."));
            return false;
        }
        SetMotorEnableActiveHigh(advanced.value(LxSettingsMap::isMotorEnableActiveHigh).toBool());
        SetClockwiseActiveHigh(advanced.value(LxSettingsMap::isClockwiseActiveHigh).toBool());
    }
    SetLockMotorWhenIdle(settings.value(LxSettingsMap::isLockTableWhenIdle).toBool());
    d->useTriggerShutterRelease = settings.value(LxSettingsMap::triggerShutterRelease).toBool();

    if (!d->savingSettingsOnly) {
        complete360ProductPhotographyWillStart();
    }
    return true;
}

void LxKalveraTurntableControl::complete360ProductPhotographyWillStart() {
    SetRotationGlobalOriginHere();
    SetLockMotorWhenIdle(true);
}

void LxKalveraTurntableControl::saveUISettingsInternalUse() {
    d->savingSettingsOnly = true;
    unsigned short ignoredCount = 0;
    complete360ProductPhotographyWillStart(&ignoredCount, nullptr);
    d->savingSettingsOnly = false;
}

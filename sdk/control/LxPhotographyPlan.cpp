// The plan of a 360-degree product photography sequence: from the settings the
// view holds to the number of captures, the capture angles and the settings
// that the controller and its motor apply for the shoot.
#include "LxKalveraTurntableControl.h"

#include "LxKalveraTurntableControl_p.h"
#include "LxSettingsMap.h"
#include "LxShootRefusals.h"
#include "LxTurntableModels.h"

#include <QObject>
#include <QStringList>

#include <cstddef>
#include <limits>
#include <memory>

namespace {

using ErrorCode = LxAbstractPlugin::ErrorCode;

// Why custom angles make no shoot; NoError when they make one.
struct Refusal {
    ErrorCode code = ErrorCode::NoError;
    QString text;
};

// The captures of a custom-angle shoot: the user's angles closed by a whole
// turn.
Refusal planCustomAngles(QStringList customAngles, unsigned long turntableIndex,
                         unsigned short* count, std::unique_ptr<float[]>* angles) {
    if (customAngles.isEmpty()) {
        return {ErrorCode::InvalidCustomAngles,
                QObject::tr("Invalid custom angles array. Make sure the list is not empty.")};
    }
    if (turntableIndex == STANDARD_MODEL_INDEX) {
        return {ErrorCode::CustomAnglesUnsupported,
                QObject::tr("Standard turntable does not support custom angles.")};
    }
    // The count, the closing whole turn included, is 16 bits wide: a longer
    // list (a settings file can hold any) would wrap it, and the shoot would
    // stop short of its angles or not run at all.
    if (customAngles.size() >= std::numeric_limits<unsigned short>::max()) {
        return {ErrorCode::TooManyCustomAngles,
                QObject::tr("Too many custom angles. A shoot takes at most 65535 captures.")};
    }
    customAngles.append(QStringLiteral("360"));
    *count = static_cast<unsigned short>(customAngles.size());
    *angles = std::make_unique<float[]>(static_cast<std::size_t>(customAngles.size()));
    for (int i = 0; i < customAngles.size(); ++i) {
        (*angles)[static_cast<std::size_t>(i)] = customAngles.at(i).toFloat();
    }
    return {};
}

} // namespace

bool LxKalveraTurntableControl::complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                                       float** angles) {
    if (!d->settingsView || !d->settingsView->hasItem()) {
        setLastError(ErrorCode::ViewNotOpen,
                     QObject::tr("The turntable settings view must be open to plan a shoot."));
        return false;
    }
    if (!motorDriver) {
        setLastError(ErrorCode::DeviceNotOpen,
                     QObject::tr("Open the turntable before planning a shoot."));
        return false;
    }
    // Settings taken over for a preview would change a running shoot's. A
    // plan may start over a shoot that the host left half-way; but no motor
    // setting may change under a running move.
    if (d->savingSettingsOnly ? LxShootRefusals::refuseWhileBusy(*this)
                              : LxShootRefusals::refuseWhileTurning(*this)) {
        return false;
    }
    const unsigned long turntableIndex = currentTurntableIndex();
    const QVariantMap settings = d->settingsView->settings(turntableIndex);

    // The captures are checked before anything is applied, and handed to the
    // sequence only once the whole plan holds: a refused plan starts no shoot.
    unsigned short count = *imagesCount;
    std::unique_ptr<float[]> customAngles;
    if (settings.value(LxSettingsKeys::useCustomAngles).toBool()) {
        if (angles) {
            const Refusal refusal = planCustomAngles(d->settingsView->customAngles(),
                                                     turntableIndex, &count, &customAngles);
            if (refusal.code != ErrorCode::NoError) {
                setLastError(refusal.code, refusal.text);
                return false;
            }
        }
    } else if (!d->savingSettingsOnly) {
        const std::optional<unsigned short> frames = LxSettingsMap::framesCount(settings);
        if (!frames) {
            setLastError(
                ErrorCode::InvalidFrameCount,
                QObject::tr("The number of frames must be a whole number from 1 to 65535."));
            return false;
        }
        count = *frames;
    }

    float preDelay = 0.0f;
    LxSettingsMap::captureDelays(settings, &preDelay, &d->postDelaySeconds);
    d->preDelaySeconds = preDelay;
    SetRotationSpeed(LxSettingsMap::stepTimeForSpeed(settings));

    const bool customModel = turntableIndex == CUSTOM_MODEL_INDEX;
    const QVariantMap advanced =
        customModel ? settings.value(LxSettingsKeys::customTurntableAdvancedSettings).toMap()
                    : QVariantMap();
    if (customModel) {
        d->settingsView->setAdvancedSettings(advanced);
        // A view that no user filled in holds no counts: the host may have
        // given them from code, and an empty field must not take them away.
        const unsigned int viewCounts = LxSettingsMap::stepsPerRevolution(advanced);
        if (viewCounts != 0) {
            SetCountsPerRevolution(viewCounts);
        }
    }
    // Without counts no step turns the table, yet each would be reported as
    // ended: "Custom" opened while another model is selected, or reopened by
    // an import, would run a whole shoot standing still. A continuous preview
    // needs no counts, but the rest of the settings it turns with.
    if (countsPerRevolution() == 0 && !d->savingSettingsOnly) {
        setLastError(ErrorCode::CountsPerRevolutionNotSet,
                     QStringLiteral("Counts per revolution have not been set."));
        return false;
    }
    if (customModel) {
        SetMotorEnableActiveHigh(advanced.value(LxSettingsKeys::isMotorEnableActiveHigh).toBool());
        SetClockwiseActiveHigh(advanced.value(LxSettingsKeys::isClockwiseActiveHigh).toBool());
    }
    SetLockMotorWhenIdle(settings.value(LxSettingsKeys::isLockTableWhenIdle).toBool());
    SetChipClockedStepTrains(!LxSettingsMap::perEdgeStepWrites(settings));
    d->useTriggerShutterRelease = settings.value(LxSettingsKeys::triggerShutterRelease).toBool();

    if (!d->savingSettingsOnly) {
        // A shoot planned anew over one left half-way: the step the old one
        // still waits for, and a notice of its last move, are not this one's.
        ++d->stepsGeneration;
        d->pendingRotationInDegrees = 0.0f;
        d->idleLockOfSettings = isLockMotorWhenIdle();
        stopRotation();
        if (customAngles) {
            d->usingCustomAngles = true;
            *angles = customAngles.release();
        }
        *imagesCount = count;
        LxTurntableHardware::complete360ProductPhotographyWillStart(imagesCount, angles);
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

bool LxKalveraTurntableControl::isShootRunning() const {
    return complete360ProductPhotographyImagesCount(nullptr) != 0;
}

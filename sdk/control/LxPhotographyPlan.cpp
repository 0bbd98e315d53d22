// The plan of a 360-degree product photography sequence: from a shoot plan,
// given from code or read from the settings the view holds, to the number of
// captures, the capture angles and the settings that the controller and its
// motor apply for the shoot.
#include "LxKalveraTurntableControl.h"

#include "LxKalveraTurntableControl_p.h"
#include "LxSettingsKeys.h"
#include "LxShootPlan.h"
#include "LxShootRefusals.h"
#include "LxTurntableModels.h"

#include <QObject>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

namespace {

using ErrorCode = LxAbstractPlugin::ErrorCode;

// Why a plan makes no shoot; NoError when it makes one.
struct Refusal {
    ErrorCode code = ErrorCode::NoError;
    QString text;
};

// The captures of a shoot at given angles: the angles closed by a whole turn.
Refusal planCaptureAngles(const std::vector<float>& captureAngles, unsigned long model,
                          unsigned short* count, std::unique_ptr<float[]>* angles) {
    if (captureAngles.empty()) {
        return {ErrorCode::InvalidCustomAngles,
                QObject::tr("Invalid custom angles array. Make sure the list is not empty.")};
    }
    if (model == STANDARD_MODEL_INDEX) {
        return {ErrorCode::CustomAnglesUnsupported,
                QObject::tr("Standard turntable does not support custom angles.")};
    }
    // The count, the closing whole turn included, is 16 bits wide: a longer
    // list (a settings file can hold any) would wrap it, and the shoot would
    // stop short of its angles or not run at all.
    if (captureAngles.size() >= std::numeric_limits<unsigned short>::max()) {
        return {ErrorCode::TooManyCustomAngles,
                QObject::tr("Too many custom angles. A shoot takes at most 65535 captures.")};
    }
    *count = static_cast<unsigned short>(captureAngles.size() + 1);
    *angles = std::make_unique<float[]>(captureAngles.size() + 1);
    std::copy(captureAngles.begin(), captureAngles.end(), angles->get());
    (*angles)[captureAngles.size()] = 360.0f;
    return {};
}

// A host that plans from code means a turn in order: an angle behind the one
// before would turn the table back through captures already taken. NaN fails
// every comparison.
bool risesWithinOneTurn(const std::vector<float>& angles) {
    for (std::size_t i = 0; i < angles.size(); ++i) {
        const bool inTurn = angles[i] >= 0.0f && angles[i] < 360.0f;
        if (!inTurn || (i > 0 && !(angles[i] > angles[i - 1]))) {
            return false;
        }
    }
    return true;
}

std::vector<float> anglesOf(const QStringList& texts) {
    std::vector<float> angles;
    angles.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString& text : texts) {
        angles.push_back(text.toFloat());
    }
    return angles;
}

// The view's speed runs from 0 slowest to 10 fastest; the step time the other
// way, and a speed above 10 is the fastest.
unsigned int stepTimeForSpeed(unsigned int speed) {
    return speed > 10 ? 0 : 10 - speed;
}

} // namespace

bool LxKalveraTurntableControl::complete360ProductPhotographyWillStart(unsigned short* imagesCount,
                                                                       float** angles) {
    if (!d->settingsView || !d->settingsView->hasItem()) {
        setLastError(ErrorCode::ViewNotOpen,
                     QObject::tr("The turntable settings view must be open to plan a shoot."));
        return false;
    }
    if (refusePlanNow()) {
        return false;
    }
    const unsigned long turntableIndex = currentTurntableIndex();
    const QVariantMap settings = d->settingsView->settings(turntableIndex);
    LxShootPlan plan = LxShootPlan::fromSettingsMap(settings);
    // The list the user edits now; the map's is the one its file held.
    plan.captureAngles = anglesOf(d->settingsView->customAngles());
    const QVariantMap advanced =
        settings.value(LxSettingsKeys::customTurntableAdvancedSettings).toMap();
    return applyShootPlan(plan, turntableIndex, &advanced, imagesCount, angles);
}

bool LxKalveraTurntableControl::planShoot(const LxShootPlan& plan, unsigned short* imagesCount,
                                          std::vector<float>* angles) {
    if (refusePlanNow()) {
        return false;
    }
    if (plan.useCaptureAngles && !risesWithinOneTurn(plan.captureAngles)) {
        setLastError(ErrorCode::CaptureAnglesOutOfOrder,
                     QObject::tr("The capture angles must rise from 0 to below 360 degrees."));
        return false;
    }
    unsigned short count = 0;
    float* planned = nullptr;
    if (!applyShootPlan(plan, d->openedModel, nullptr, &count, &planned)) {
        return false;
    }
    if (imagesCount) {
        *imagesCount = count;
    }
    if (angles) {
        angles->assign(planned, planned ? planned + count : planned);
    }
    return true;
}

bool LxKalveraTurntableControl::refusePlanNow() {
    if (!motorDriver) {
        setLastError(ErrorCode::DeviceNotOpen,
                     QObject::tr("Open the turntable before planning a shoot."));
        return true;
    }
    // Settings taken over for a preview would change a running shoot's. A
    // plan may start over a shoot that the host left half-way; but no motor
    // setting may change under a running move.
    return d->savingSettingsOnly ? LxShootRefusals::refuseWhileBusy(*this)
                                 : LxShootRefusals::refuseWhileTurning(*this);
}

bool LxKalveraTurntableControl::applyShootPlan(const LxShootPlan& plan, unsigned long model,
                                               const QVariantMap* viewAdvancedSettings,
                                               unsigned short* imagesCount, float** angles) {
    // The captures are checked before anything is applied, and handed to the
    // sequence only once the whole plan holds: a refused plan starts no shoot.
    unsigned short count = *imagesCount;
    std::unique_ptr<float[]> plannedAngles;
    if (plan.useCaptureAngles) {
        if (angles) {
            const Refusal refusal =
                planCaptureAngles(plan.captureAngles, model, &count, &plannedAngles);
            if (refusal.code != ErrorCode::NoError) {
                setLastError(refusal.code, refusal.text);
                return false;
            }
        }
    } else if (!d->savingSettingsOnly) {
        if (plan.frames < 1 || plan.frames > std::numeric_limits<unsigned short>::max()) {
            setLastError(
                ErrorCode::InvalidFrameCount,
                QObject::tr("The number of frames must be a whole number from 1 to 65535."));
            return false;
        }
        count = static_cast<unsigned short>(plan.frames);
    }

    d->preDelaySeconds = plan.preCaptureDelaySeconds;
    d->postDelaySeconds = plan.postCaptureDelaySeconds;
    SetRotationSpeed(stepTimeForSpeed(plan.speed));

    const bool customModel = model == CUSTOM_MODEL_INDEX;
    if (customModel) {
        if (viewAdvancedSettings) {
            d->settingsView->setAdvancedSettings(*viewAdvancedSettings);
        }
        // A view that no user filled in holds no counts: the host may have
        // given them from code, and an empty field must not take them away.
        if (plan.countsPerRevolution != 0) {
            SetCountsPerRevolution(plan.countsPerRevolution);
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
        if (plan.motorEnableActiveHigh) {
            SetMotorEnableActiveHigh(*plan.motorEnableActiveHigh);
        }
        if (plan.clockwiseActiveHigh) {
            SetClockwiseActiveHigh(*plan.clockwiseActiveHigh);
        }
    }
    SetLockMotorWhenIdle(plan.lockWhenIdle);
    SetChipClockedStepTrains(!plan.perEdgeStepWrites);
    d->useTriggerShutterRelease = plan.triggerShutterRelease;

    if (!d->savingSettingsOnly) {
        // A shoot planned anew over one left half-way: the step the old one
        // still waits for, and a notice of its last move, are not this one's.
        ++d->stepsGeneration;
        d->pendingRotationInDegrees = 0.0f;
        d->idleLockOfSettings = isLockMotorWhenIdle();
        stopRotation();
        if (plannedAngles) {
            d->usingCustomAngles = true;
            *angles = plannedAngles.release();
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

bool LxKalveraTurntableControl::applyShootSettings(const LxShootPlan& plan) {
    d->savingSettingsOnly = true;
    const bool refused = refusePlanNow();
    if (!refused) {
        unsigned short ignoredCount = 0;
        applyShootPlan(plan, d->openedModel, nullptr, &ignoredCount, nullptr);
    }
    d->savingSettingsOnly = false;
    return !refused;
}

bool LxKalveraTurntableControl::isShootRunning() const {
    return complete360ProductPhotographyImagesCount(nullptr) != 0;
}

#ifndef LXSHOOTPLAN_H
#define LXSHOOTPLAN_H

/// \file
/// The plan of a 360-degree product photography shoot as a value, for a host
/// that plans from code instead of through the settings view.

#include "KalveraTurntableSDKGlobal.h"

#include <QVariantMap>

#include <optional>
#include <vector>

/// What LxKalveraTurntableControl::planShoot() applies: the captures, the
/// "Custom" model's motor settings, the delays, the speed and the shutter.
/// The settings view's plan is this value read from the view's settings map,
/// so a plan from code and one from the view make the same shoot.
///
/// Units: angles in degrees from the start of the shoot, delays in seconds.
struct LX_SDK_EXPORT LxShootPlan {
    /// Evenly spaced captures round a whole turn, 1 to 65535; read when
    /// useCaptureAngles is false.
    unsigned int frames = 0;
    /// The captures are at captureAngles instead of evenly spaced frames.
    bool useCaptureAngles = false;
    /// Where the table goes after each capture, closed by a whole turn (360)
    /// that the plan adds: at most 65534 angles. A plan from code gives them
    /// strictly rising from 0 to below 360; the settings view's list may
    /// hold any order.
    std::vector<float> captureAngles;

    /// "Custom" only: the counts of one revolution; 0 keeps the open device's
    /// (SetCountsPerRevolution()).
    unsigned int countsPerRevolution = 0;
    /// "Custom" only: the level of the direction line that means clockwise;
    /// none keeps the open device's.
    std::optional<bool> clockwiseActiveHigh;
    /// "Custom" only: the level of the enable line that enables the motor;
    /// none keeps the open device's.
    std::optional<bool> motorEnableActiveHigh;

    /// From the end of a move to the turntable notice; negative is none.
    float preCaptureDelaySeconds = 0.0f;
    /// From a capture to the move to the next one; negative is none.
    float postCaptureDelaySeconds = 0.0f;
    /// The settings view's speed, 0 slowest to 10 fastest; above 10 is 10.
    /// The step time in milliseconds is 10 minus it.
    unsigned int speed = 10;
    /// The turntable fires the camera before each move of the shoot.
    bool triggerShutterRelease = false;
    /// The motor holds the table while it stands once the shoot has ended.
    bool lockWhenIdle = false;
    /// Stepper moves are one USB write per edge instead of chip-clocked step
    /// trains (LxKalveraTurntableControl::SetChipClockedStepTrains()).
    bool perEdgeStepWrites = false;

    /// The plan a settings map holds (LxSettingsKeys), as the settings view's
    /// plan reads it: a frame count that is no whole number from 1 to 65535
    /// once truncated reads as 0, which planShoot() refuses; the angles are
    /// the map's "CustomAnglesList"; the "Custom" polarities are always set,
    /// a missing key as false; a missing key is an empty value otherwise.
    static LxShootPlan fromSettingsMap(const QVariantMap& settings);
};

#endif

#ifndef LXSETTINGSKEYS_H
#define LXSETTINGSKEYS_H

/// \file
/// The keys of the settings map that the settings view's "saveSettings" gives
/// the controller and its "loadSettings" takes, and that the settings file
/// "KalveraTurntable.json" keeps. Keys are case-sensitive; the controller
/// passes every other key of the map through to the file untouched, and a
/// key that is missing reads as an empty value (false, 0, empty text, list or
/// map).

#include <QString>

namespace LxSettingsKeys {

/// Boolean: a shoot is planned from the custom angles list; false: from
/// framesCountText.
inline const QString useCustomAngles = QStringLiteral("useCustomAngles");
/// Text of the number of evenly spaced frames of a 360-degree shoot, read as a
/// number and truncated toward zero ("36.9" is 36).
inline const QString framesCountText = QStringLiteral("framesCountText");
/// List of two numbers or numeric texts: the pre- and post-capture delays in
/// seconds.
inline const QString captureDelaySeconds = QStringLiteral("captureDelaySeconds");
/// Whole number, 0 slowest to 10 fastest: the step time is 10 minus it.
inline const QString rotationSpeed = QStringLiteral("rotationSpeed");
/// Boolean: the motor holds the table while it stands.
inline const QString isLockTableWhenIdle = QStringLiteral("isLockTableWhenIdle");
/// Boolean: the turntable fires the camera before each move of a shoot.
inline const QString triggerShutterRelease = QStringLiteral("triggerShutterRelease");
/// Boolean: stepper moves are one USB write per edge instead of chip-clocked
/// step trains, the default; only a true boolean switches them on.
inline const QString isPerEdgeStepWrites = QStringLiteral("isPerEdgeStepWrites");
/// No longer read: chip-clocked step trains are the default, and files kept
/// from when they were not hold false here by default. Kept for hosts that
/// name it; use isPerEdgeStepWrites.
inline const QString isChipClockedStepTrains = QStringLiteral("isChipClockedStepTrains");
/// Map of the "Custom" model's motor settings, under the three keys below;
/// read only while "Custom" is the current turntable.
inline const QString customTurntableAdvancedSettings =
    QStringLiteral("customTurntableAdvancedSettings");
/// List of texts, the custom angles in degrees; the file's only member that
/// the plug-in adds itself when the view closes.
inline const QString customAnglesList = QStringLiteral("CustomAnglesList");

// The keys of the advanced settings map, which is also the device settings
// map that the view's "updateDeviceSettingsUI" is sent.

/// Decimal text of the counts per revolution.
inline const QString stepsPerRevolutionText = QStringLiteral("stepsPerRevolutionText");
/// Boolean: the direction line is high for clockwise.
inline const QString isClockwiseActiveHigh = QStringLiteral("isClockwiseActiveHigh");
/// Boolean: the motor-enable line is high for enabled.
inline const QString isMotorEnableActiveHigh = QStringLiteral("isMotorEnableActiveHigh");

} // namespace LxSettingsKeys

#endif

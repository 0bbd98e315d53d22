#ifndef SHOOTSETTINGS_H
#define SHOOTSETTINGS_H

#include "CommandLine.h"

#include <QStringList>
#include <QVariantMap>

#include <optional>

// What the settings view is given for a shoot: its settings map (keys in
// LxSettingsKeys.h) and its custom angles list.
struct ShootSettings {
    QVariantMap view;
    QStringList customAngles;
};

// The motor lines of the model as opened, for "Custom" settings that name
// none.
struct MotorLines {
    bool enableActiveHigh = true;
    bool clockwiseActiveHigh = true;
};

// The settings of a settings file (empty without one) with the options given
// on the command line over them; what neither gives is the fastest speed, no
// delays, no shutter and a free motor.
ShootSettings shootSettings(const ToolOptions& options, const QVariantMap& fromFile,
                            const MotorLines& openedLines);

// The counts per revolution that "Custom" would be planned with; 0 when
// neither the options nor the file give them.
unsigned int customCountsPerRevolution(const ToolOptions& options, const QVariantMap& fromFile);

// Why the custom angles of a settings file make no shoot: empty when they
// rise from above 0 to below 360, as --angles must.
QString customAnglesProblem(const QStringList& angles);

#endif

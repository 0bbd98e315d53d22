#ifndef LXSETTINGSMAP_H
#define LXSETTINGSMAP_H

#include "LxSettingsKeys.h"

#include <QVariantMap>

#include <optional>

// How the controller reads the settings map that the settings view exchanges
// with it and that the settings file keeps. A missing key reads as an empty
// value: false, 0, empty text, list or map.
namespace LxSettingsMap {

// The keys, as LxSettingsKeys::framesCountText and so on.
using namespace LxSettingsKeys;

// The frame count: the text read as a number and truncated toward zero
// ("36.9" is 36). None when that is no count from 1 to 65535, or no number.
std::optional<unsigned short> framesCount(const QVariantMap& settings);
// The pre- and post-capture delays in seconds; an entry the list lacks is 0.
void captureDelays(const QVariantMap& settings, float* preDelay, float* postDelay);
// Whether stepper moves are per-edge writes instead of chip-clocked step
// trains: only a true boolean says so.
bool perEdgeStepWrites(const QVariantMap& settings);
// Counts per revolution from the advanced settings: positive whole decimal
// text, else 0.
unsigned int stepsPerRevolution(const QVariantMap& advancedSettings);

} // namespace LxSettingsMap

#endif

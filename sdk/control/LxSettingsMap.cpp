#include "LxSettingsMap.h"

#include <QVariantList>

#include <cmath>
#include <limits>

namespace LxSettingsMap {

std::optional<unsigned short> framesCount(const QVariantMap& settings) {
    bool isNumber = false;
    const double frames =
        std::trunc(settings.value(framesCountText).toString().toDouble(&isNumber));
    // Kept in 16 bits, a larger count would wrap to a shoot of other length,
    // and a shoot without captures would still end with a whole turn. NaN
    // fails both comparisons.
    if (!isNumber || !(frames >= 1.0 && frames <= std::numeric_limits<unsigned short>::max())) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(frames);
}

void captureDelays(const QVariantMap& settings, float* preDelay, float* postDelay) {
    const QVariantList delays = settings.value(captureDelaySeconds).toList();
    *preDelay = delays.size() > 0 ? delays.at(0).toString().toFloat() : 0.0f;
    *postDelay = delays.size() > 1 ? delays.at(1).toString().toFloat() : 0.0f;
}

bool perEdgeStepWrites(const QVariantMap& settings) {
    // A damaged entry must not cost the user the step timing of the default.
    const QVariant value = settings.value(isPerEdgeStepWrites);
    return value.userType() == QMetaType::Bool && value.toBool();
}

unsigned int stepsPerRevolution(const QVariantMap& advancedSettings) {
    const int counts = advancedSettings.value(stepsPerRevolutionText).toString().toInt(nullptr, 10);
    // A negative count is no setting; as unsigned it would be billions of steps.
    return counts > 0 ? static_cast<unsigned int>(counts) : 0;
}

} // namespace LxSettingsMap

#include "LxSettingsMap.h"

#include <QVariantList>

namespace LxSettingsMap {

unsigned short framesCount(const QVariantMap& settings) {
    const float frames = settings.value(framesCountText).toString().toFloat();
    // Out of the int range the conversion has no value; such counts mean nothing.
    if (!(frames > -2147483648.0f && frames < 2147483648.0f)) {
        return 0;
    }
    return static_cast<unsigned short>(static_cast<int>(frames));
}

void captureDelays(const QVariantMap& settings, float* preDelay, float* postDelay) {
    const QVariantList delays = settings.value(captureDelaySeconds).toList();
    *preDelay = delays.size() > 0 ? delays.at(0).toString().toFloat() : 0.0f;
    *postDelay = delays.size() > 1 ? delays.at(1).toString().toFloat() : 0.0f;
}

unsigned int stepTimeForSpeed(const QVariantMap& settings) {
    const unsigned int speed = settings.value(rotationSpeed).toUInt();
    return speed > 10 ? 0 : 10 - speed;
}

unsigned int stepsPerRevolution(const QVariantMap& advancedSettings) {
    const int counts = advancedSettings.value(stepsPerRevolutionText).toString().toInt(nullptr, 10);
    // A negative count is no setting; as unsigned it would be billions of steps.
    return counts > 0 ? static_cast<unsigned int>(counts) : 0;
}

} // namespace LxSettingsMap

#include <ftdisim/Camera.h>

#include "LineEdges.h"

namespace ftdisim {

std::vector<Camera::Capture> Camera::captures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return captures_;
}

unsigned Camera::missedCaptures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return missedCaptures_;
}

void Camera::bitModeChanged(std::uint8_t, std::uint8_t, std::uint8_t outputLevels,
                            Clock::time_point time) {
    linesChanged(outputLevels, time);
}

void Camera::outputsWritten(std::uint8_t levels, std::uint8_t, Clock::time_point time) {
    linesChanged(levels, time);
}

void Camera::linesChanged(std::uint8_t levels, Clock::time_point time) {
    std::lock_guard<std::mutex> lock(mutex_);
    const LineEdges edges(lines_, levels);
    lines_ = levels;
    if (edges.rose(kFocusLine)) {
        focusedAt_ = time;
    }
    if (!edges.rose(kReleaseLine)) {
        return;
    }
    if (levels & kFocusLine) {
        captures_.push_back({time, focusedAt_});
    } else {
        ++missedCaptures_;
    }
}

} // namespace ftdisim

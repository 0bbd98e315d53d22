#include <ftdisim/Camera.h>

#include "LineEdges.h"

namespace ftdisim {

std::vector<Camera::Capture> Camera::captures() const {
    const auto lock = lockState();
    return captures_;
}

unsigned Camera::missedCaptures() const {
    const auto lock = lockState();
    return missedCaptures_;
}

void Camera::linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) {
    const LineEdges edges(before, after);
    if (edges.rose(kFocusLine)) {
        focusedAt_ = time;
    }
    if (!edges.rose(kReleaseLine)) {
        return;
    }
    if (after & kFocusLine) {
        captures_.push_back({time, focusedAt_});
    } else {
        ++missedCaptures_;
    }
}

} // namespace ftdisim

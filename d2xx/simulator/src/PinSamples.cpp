#include "PinSamples.h"

#include <algorithm>

namespace ftdisim {

void PinSamples::start(Clock::time_point time, Clock::duration period) {
    next_ = time;
    period_ = period;
}

void PinSamples::purge(Clock::time_point time) {
    queued_.clear();
    if (next_) {
        next_ = time;
    }
}

std::size_t PinSamples::take(std::uint8_t* destination, std::size_t count) {
    const std::size_t taken = std::min(count, queued_.size());
    std::copy_n(queued_.begin(), taken, destination);
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

std::optional<Clock::time_point> PinSamples::timeOfSample(std::size_t count) const {
    if (!next_ || count == 0) {
        return std::nullopt;
    }
    return *next_ + period_ * static_cast<Clock::rep>(count - 1);
}

} // namespace ftdisim

#include "UsbFrames.h"

namespace ftdisim {

Clock::time_point UsbFrames::completion(Clock::time_point call) {
    if (timing_.transfers == BusTiming::Transfers::Ideal) {
        return call;
    }
    const Clock::duration sinceEpoch = call.time_since_epoch();
    const Clock::duration frame = BusTiming::kFrame;
    const Clock::time_point boundary = call + (frame - sinceEpoch % frame);
    std::uniform_int_distribution<long long> jitter(0, timing_.jitter.count());
    const Clock::time_point sent = boundary + std::chrono::microseconds(jitter(random_));
    if (timing_.transfers != BusTiming::Transfers::Noisy) {
        return sent;
    }
    std::uniform_int_distribution<unsigned> hogged(1, timing_.lateEvery);
    if (hogged(random_) != 1) {
        return sent;
    }
    const std::chrono::microseconds min = BusTiming::kNoisyLateMin;
    const std::chrono::microseconds max = BusTiming::kNoisyLateMax;
    std::uniform_int_distribution<long long> late(min.count(), max.count());
    return sent + std::chrono::microseconds(late(random_));
}

} // namespace ftdisim

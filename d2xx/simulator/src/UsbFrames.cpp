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
    return boundary + std::chrono::microseconds(jitter(random_));
}

} // namespace ftdisim

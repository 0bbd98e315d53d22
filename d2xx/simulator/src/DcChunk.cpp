#include <ftdisim/DcChunk.h>

namespace ftdisim {

bool DcChunk::turningAt(Clock::time_point at) const {
    return at >= start && (!end || at < *end);
}

unsigned DcChunk::countsTurnedBy(Clock::time_point at) const {
    if (at < start) {
        return 0;
    }
    if (end && at >= *end) {
        return counts;
    }
    return static_cast<unsigned>((at - start) / timePerCount);
}

} // namespace ftdisim

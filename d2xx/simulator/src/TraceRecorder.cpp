#include "TraceRecorder.h"

namespace ftdisim {

TraceRecorder::TraceRecorder(std::size_t capacity)
    : capacity_(capacity) {}

void TraceRecorder::setCapacity(std::size_t capacity) {
    capacity_ = capacity;
}

void TraceRecorder::record(const TraceEvent& event) {
    // The oldest events are kept: a checker reads a trace from its start, and
    // a trace with a gap in the middle would mislead it.
    if (trace_.events.size() < capacity_) {
        trace_.events.push_back(event);
    } else {
        ++trace_.dropped;
    }
}

void TraceRecorder::clear() {
    trace_ = Trace{};
}

} // namespace ftdisim

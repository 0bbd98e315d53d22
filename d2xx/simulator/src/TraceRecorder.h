#ifndef FTDISIM_TRACERECORDER_H
#define FTDISIM_TRACERECORDER_H

#include <ftdisim/Trace.h>

#include <cstddef>

namespace ftdisim {

// A device's trace, bounded so that a long soak run cannot eat the memory.
class TraceRecorder {
public:
    explicit TraceRecorder(std::size_t capacity);

    // Events recorded already stay, even beyond a smaller capacity.
    void setCapacity(std::size_t capacity);
    void record(const TraceEvent& event);
    void clear();
    const Trace& trace() const { return trace_; }

private:
    std::size_t capacity_;
    Trace trace_;
};

} // namespace ftdisim

#endif

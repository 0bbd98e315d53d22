#ifndef FTDISIM_FAULTSCHEDULE_H
#define FTDISIM_FAULTSCHEDULE_H

#include <optional>
#include <stdexcept>

namespace ftdisim {

// Decides which calls of one kind fail, from a fault a test set: a
// TransferFault or a UsbFault, whose count and period mean the same.
template <typename Fault>
class FaultSchedule {
public:
    // Restarts the counting of calls. Throws std::invalid_argument for a
    // fault whose count or period makes no sense.
    void set(std::optional<Fault> fault) {
        if (fault && (fault->count == 0 || fault->count < -1)) {
            throw std::invalid_argument("ftdisim: a fault needs a count above 0, or -1");
        }
        if (fault && fault->period < 1) {
            throw std::invalid_argument("ftdisim: a fault needs a period of 1 or more");
        }
        fault_ = fault;
        callsSinceSet_ = 0;
    }

    // The fault set, while it has not cleared itself.
    const std::optional<Fault>& fault() const { return fault_; }

    // Counts a call and gives the fault it fails with, or nothing when it
    // goes through.
    std::optional<Fault> nextCall() {
        if (!fault_) {
            return std::nullopt;
        }
        ++callsSinceSet_;
        if (callsSinceSet_ % fault_->period != 0) {
            return std::nullopt;
        }
        const Fault failing = *fault_;
        if (fault_->count > 0 && --fault_->count == 0) {
            fault_.reset();
        }
        return failing;
    }

private:
    std::optional<Fault> fault_;
    long long callsSinceSet_ = 0;
};

} // namespace ftdisim

#endif

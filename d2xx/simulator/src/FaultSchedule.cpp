#include "FaultSchedule.h"

#include <stdexcept>

namespace ftdisim {

void FaultSchedule::set(std::optional<TransferFault> fault) {
    if (fault && (fault->count == 0 || fault->count < -1)) {
        throw std::invalid_argument("ftdisim: a transfer fault needs a count above 0, or -1");
    }
    if (fault && fault->period < 1) {
        throw std::invalid_argument("ftdisim: a transfer fault needs a period of 1 or more");
    }
    fault_ = fault;
    callsSinceSet_ = 0;
}

std::optional<FT_STATUS> FaultSchedule::nextCall() {
    if (!fault_) {
        return std::nullopt;
    }
    ++callsSinceSet_;
    if (callsSinceSet_ % fault_->period != 0) {
        return std::nullopt;
    }
    const FT_STATUS status = fault_->status;
    if (fault_->count > 0 && --fault_->count == 0) {
        fault_.reset();
    }
    return status;
}

} // namespace ftdisim

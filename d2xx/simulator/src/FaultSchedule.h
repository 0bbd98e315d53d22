#ifndef FTDISIM_FAULTSCHEDULE_H
#define FTDISIM_FAULTSCHEDULE_H

#include <ftdisim/TransferFault.h>

#include <optional>

namespace ftdisim {

// Decides which calls of one transfer direction fail, from the fault a test set.
class FaultSchedule {
public:
    // Restarts the counting of calls. Throws std::invalid_argument for a
    // fault whose count or period makes no sense.
    void set(std::optional<TransferFault> fault);

    // Counts a call and gives the status it fails with, or nothing when it
    // goes through.
    std::optional<FT_STATUS> nextCall();

private:
    std::optional<TransferFault> fault_;
    long long callsSinceSet_ = 0;
};

} // namespace ftdisim

#endif

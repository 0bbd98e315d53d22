#include "LockedBus.h"

#include <thread>

namespace ftdisim {

namespace {

struct SharedBus {
    std::mutex mutex;
    BusState state;
};

} // namespace

LockedBus lockBus() {
    // Never destroyed: objects destroyed at exit, in the SDK or a test, may
    // still close their handles after this library's statics are gone.
    static SharedBus* const bus = new SharedBus;
    return LockedBus(bus->mutex, bus->state);
}

void waitForTransfer(Clock::time_point completion) {
    if (completion <= Clock::now()) {
        return;
    }
    std::this_thread::sleep_until(completion);
}

} // namespace ftdisim

#include "TurntableObserver.h"

#include "SimulatedTurntableObserver.h"

#include <LxD2xxBackend.h>

namespace {

// On a real chip the table is wired as it was built, and it and the camera
// tell the host nothing.
bool onSimulatedBus() {
    return LxD2xxBackend::chosen() == "simulator";
}

} // namespace

void TurntableObserver::tableOpenedWith(bool clockwiseActiveHigh, bool motorEnableActiveHigh) {
    if (onSimulatedBus()) {
        SimulatedTurntableObserver::tableOpenedWith(clockwiseActiveHigh, motorEnableActiveHigh);
    }
}

std::optional<long long> TurntableObserver::countsTurnedClockwise(bool stepperTable) {
    return onSimulatedBus() ? SimulatedTurntableObserver::countsTurnedClockwise(stepperTable)
                            : std::nullopt;
}

std::optional<std::size_t> TurntableObserver::cameraShots() {
    return onSimulatedBus() ? SimulatedTurntableObserver::cameraShots() : std::nullopt;
}

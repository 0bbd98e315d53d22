#include "SimulatedTurntableObserver.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <memory>

namespace {

std::shared_ptr<ftdisim::TurntableRig> firstRig() {
    const auto devices = ftdisim::Bus::instance().devices();
    return devices.empty() ? nullptr : ftdisim::Bus::instance().rig(devices.front());
}

} // namespace

void SimulatedTurntableObserver::tableOpenedWith(bool clockwiseActiveHigh,
                                                 bool motorEnableActiveHigh) {
    // One simulated chip stands for whichever table the user has: it takes
    // the wiring of the model opened on it, as the user's real table has.
    if (const auto rig = firstRig()) {
        rig->stepperTable().setWiring({motorEnableActiveHigh, clockwiseActiveHigh});
    }
}

std::optional<long long> SimulatedTurntableObserver::countsTurnedClockwise(bool stepperTable) {
    const auto rig = firstRig();
    if (!rig) {
        return std::nullopt;
    }
    // The stepper's position grows counterclockwise.
    return stepperTable ? -rig->stepperTable().position()
                        : static_cast<long long>(rig->dcTable().countsTurned());
}

std::optional<std::size_t> SimulatedTurntableObserver::cameraShots() {
    const auto rig = firstRig();
    return rig ? std::optional<std::size_t>(rig->camera().captures().size()) : std::nullopt;
}

#include "TurntableObserver.h"

#include <LxTurntableModelDescription.h>

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <atomic>
#include <memory>

namespace {

// The simulated bus's first device, once the SDK has opened it: through the
// simulator backend, or through libftdi over the USB-level simulation. With a
// real chip the bus that this program links stands idle: nothing to watch.
std::atomic<bool> watchingTheSimulatedTable{false};

std::shared_ptr<ftdisim::TurntableRig> firstRig() {
    if (!watchingTheSimulatedTable) {
        return nullptr;
    }
    const auto devices = ftdisim::Bus::instance().devices();
    return devices.empty() ? nullptr : ftdisim::Bus::instance().rig(devices.front());
}

} // namespace

void TurntableObserver::modelOpened(int model) {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    const auto devices = bus.devices();
    watchingTheSimulatedTable = !devices.empty() && bus.stats(devices.front()).open;
    // One simulated chip stands for whichever table the user has: it takes
    // the wiring of the model opened on it, as the user's real table has.
    // Without a description, the drivers' defaults, which it starts with too.
    const auto description = LxTurntableModelDescription::of(model);
    if (const auto rig = firstRig()) {
        rig->stepperTable().setWiring({!description || description->motorEnableActiveHigh,
                                       !description || description->clockwiseActiveHigh});
    }
}

std::optional<long long> TurntableObserver::countsTurnedClockwise(bool stepperTable) {
    const auto rig = firstRig();
    if (!rig) {
        return std::nullopt;
    }
    // The stepper's position grows counterclockwise.
    return stepperTable ? -rig->stepperTable().position()
                        : static_cast<long long>(rig->dcTable().countsTurned());
}

std::optional<std::size_t> TurntableObserver::cameraShots() {
    const auto rig = firstRig();
    return rig ? std::optional<std::size_t>(rig->camera().captures().size()) : std::nullopt;
}

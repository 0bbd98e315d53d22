// The simulated bus's first device: the one the SDK opens.
#include "TurntableObserver.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <memory>

namespace {

std::shared_ptr<ftdisim::TurntableRig> firstRig() {
    const auto devices = ftdisim::Bus::instance().devices();
    return devices.empty() ? nullptr : ftdisim::Bus::instance().rig(devices.front());
}

} // namespace

std::optional<long long> TurntableObserver::stepperSteps() {
    const auto rig = firstRig();
    return rig ? std::optional<long long>(rig->stepperTable().position()) : std::nullopt;
}

std::optional<std::size_t> TurntableObserver::cameraShots() {
    const auto rig = firstRig();
    return rig ? std::optional<std::size_t>(rig->camera().captures().size()) : std::nullopt;
}

#include "DataToggles.h"

#include <map>
#include <mutex>

namespace kalvera::usbsim {

namespace {

// The bus never gives a DeviceId out twice, so a device plugged in again, or
// one of a reset bus, starts from DATA0 as a freshly configured chip does.
struct ToggleTable {
    std::mutex mutex;
    std::map<ftdisim::DeviceId, DataToggles> toggles;
};

ToggleTable& table() {
    static ToggleTable instance;
    return instance;
}

} // namespace

DataToggles dataToggles(ftdisim::DeviceId device) {
    ToggleTable& all = table();
    std::lock_guard<std::mutex> lock(all.mutex);
    const auto found = all.toggles.find(device);
    return found == all.toggles.end() ? DataToggles{} : found->second;
}

void storeDataToggles(ftdisim::DeviceId device, DataToggles toggles) {
    ToggleTable& all = table();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.toggles[device] = toggles;
}

void resetDataToggles(ftdisim::DeviceId device) {
    ToggleTable& all = table();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.toggles.erase(device);
}

} // namespace kalvera::usbsim

#include "InterfaceDriver.h"

#include <filesystem>
#include <fstream>

namespace kalvera::libftdi {

std::string firstInterfaceDriver(const std::string& sysfsUsbDevices, const std::string& location) {
    namespace fs = std::filesystem;
    const fs::path devices(sysfsUsbDevices);
    // Interfaces are named "<device>:<configuration>.<interface>"; an
    // unconfigured device has an empty configuration value and no interfaces.
    std::ifstream configurationFile(devices / location / "bConfigurationValue");
    int configuration = 0;
    if (!(configurationFile >> configuration)) {
        return {};
    }
    const fs::path interface =
        devices / (location + ':' + std::to_string(configuration) + ".0") / "driver";
    std::error_code error;
    const fs::path driver = fs::read_symlink(interface, error);
    return error ? std::string() : driver.filename().string();
}

} // namespace kalvera::libftdi

#include "BusSetup.h"

#include <ftdisim/Environment.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace ftdisim {

BusSetup busSetupFromEnvironment() {
    BusSetup setup;
    if (const char* devices = std::getenv(kDevicesVariable)) {
        DeviceListParse parse = parseDeviceList(devices);
        for (const std::string& error : parse.errors) {
            std::cerr << "ftdisim: " << kDevicesVariable << ": skipped " << error << '\n';
        }
        setup.devices = std::move(parse.devices);
    } else {
        setup.devices.emplace_back();
    }
    if (const char* status = std::getenv(kOpenStatusVariable)) {
        setup.openFailure = parseOpenStatus(status);
        if (!setup.openFailure) {
            std::cerr << "ftdisim: " << kOpenStatusVariable << "='" << status
                      << "' ignored: not a decimal status other than 0\n";
        }
    }
    if (const char* countTime = std::getenv(kDcCountTimeVariable)) {
        if (const auto time = parseDcCountTime(countTime)) {
            setup.dcTimePerCount = *time;
        } else {
            std::cerr << "ftdisim: " << kDcCountTimeVariable << "='" << countTime
                      << "' ignored: not a positive number of milliseconds\n";
        }
    }
    if (const char* timing = std::getenv(kUsbTimingVariable)) {
        if (const auto parsed = parseBusTiming(timing)) {
            setup.timing = *parsed;
        } else {
            std::cerr << "ftdisim: " << kUsbTimingVariable << "='" << timing
                      << "' ignored: not 'ideal', 'chip-clock' or 'full-speed[:<jitter us>]'\n";
        }
    }
    if (const char* factor = std::getenv(kByteClockFactorVariable)) {
        if (const auto parsed = parseByteClockFactor(factor)) {
            setup.byteClockFactor = *parsed;
        } else {
            std::cerr << "ftdisim: " << kByteClockFactorVariable << "='" << factor
                      << "' ignored: not a number of bytes per baud period from 1 to "
                      << Bus::kMaxByteClockFactor << '\n';
        }
    }
    return setup;
}

} // namespace ftdisim

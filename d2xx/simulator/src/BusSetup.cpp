#include "BusSetup.h"

#include <ftdisim/Environment.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace ftdisim {

namespace {

// Sets `setting` from the variable when it is set and `parse` takes it; says
// on stderr why it was ignored when it does not.
template <typename Parse, typename Setting>
void readVariable(const char* name, Parse parse, Setting& setting, const char* expected) {
    const char* text = std::getenv(name);
    if (!text) {
        return;
    }
    if (const auto parsed = parse(text)) {
        setting = *parsed;
    } else {
        std::cerr << "ftdisim: " << name << "='" << text << "' ignored: not " << expected << '\n';
    }
}

} // namespace

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
    readVariable(kOpenStatusVariable, parseOpenStatus, setup.openFailure,
                 "a decimal status other than 0");
    readVariable(kFailCallVariable, parseCallFailure, setup.callFailure,
                 "'<FT_SetBaudRate|FT_SetLatencyTimer|FT_SetBitMode|FT_Purge>:<decimal status "
                 "other than 0>'");
    readVariable(kDcCountTimeVariable, parseDcCountTime, setup.dcTimePerCount,
                 "a positive number of milliseconds");
    readVariable(kUsbTimingVariable, parseBusTiming, setup.timing,
                 "'ideal', 'full-speed[:<jitter us>]' or 'noisy'");
    readVariable(kByteClockFactorVariable, parseByteClockFactor, setup.byteClockFactor,
                 "a number of bytes per baud period from 1 to 16");
    readVariable(kResetPinsVariable, parseResetPins, setup.resetPins, "'high', 'low' or 'held'");
    if (const char* reportFile = std::getenv(kReportFileVariable)) {
        setup.reportFile = reportFile;
    }
    return setup;
}

} // namespace ftdisim

#ifndef FTDISIM_BUSSETUP_H
#define FTDISIM_BUSSETUP_H

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/Clock.h>
#include <ftdisim/DcTable.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/Environment.h>

#include <ftd2xx.h>

#include <optional>
#include <string>
#include <vector>

namespace ftdisim {

// The bus a process starts with.
struct BusSetup {
    std::vector<DeviceDescription> devices;
    std::optional<FT_STATUS> openFailure;
    // A set-up function that fails on every device attached.
    std::optional<CallFailure> callFailure;
    Clock::duration dcTimePerCount = DcTable::kDefaultTimePerCount;
    BusTiming timing;
    unsigned byteClockFactor = Bus::kDefaultByteClockFactor;
    ResetPins resetPins = ResetPins::PulledUp;
    // Empty: no report.
    std::string reportFile;
};

// The bus FTDISIM_DEVICES, FTDISIM_OPEN_STATUS, FTDISIM_FAIL_CALL, FTDISIM_DC_COUNT_MS,
// FTDISIM_USB_TIMING, FTDISIM_BYTE_CLOCK_FACTOR, FTDISIM_RESET_PINS and
// FTDISIM_REPORT_FILE ask
// for; without them one unopened FT245R that opens, with a table of 120 ms
// per count, on the ideal bus, clocking 16 bytes per baud period, its
// undriven pins pulled up. Malformed values are reported on
// stderr, where a developer running a demo sees why the bus is not what was
// asked for.
BusSetup busSetupFromEnvironment();

} // namespace ftdisim

#endif

#ifndef FTDISIM_BUSSETUP_H
#define FTDISIM_BUSSETUP_H

#include <ftdisim/DeviceDescription.h>

#include <ftd2xx.h>

#include <optional>
#include <vector>

namespace ftdisim {

// The bus a process starts with.
struct BusSetup {
    std::vector<DeviceDescription> devices;
    std::optional<FT_STATUS> openFailure;
};

// The bus FTDISIM_DEVICES and FTDISIM_OPEN_STATUS ask for; without them one
// unopened FT245R that opens. Malformed values are reported on stderr, where
// a developer running a demo sees why the bus is not what was asked for.
BusSetup busSetupFromEnvironment();

} // namespace ftdisim

#endif

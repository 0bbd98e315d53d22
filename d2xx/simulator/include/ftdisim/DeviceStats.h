#ifndef FTDISIM_DEVICESTATS_H
#define FTDISIM_DEVICESTATS_H

#include <ftd2xx.h>

#include <cstdint>

namespace ftdisim {

// What happened to one device, and the settings in force on its chip.
// Call counts include failing calls made through a handle of the device;
// `opens` counts successful opens only.
struct DeviceStats {
    bool plugged = true;
    bool open = false;
    bool openedElsewhere = false;

    unsigned opens = 0;
    unsigned closes = 0;
    unsigned baudRateSets = 0;
    unsigned latencyTimerSets = 0;
    unsigned bitModeSets = 0;
    unsigned purges = 0;
    unsigned rxPurges = 0;
    unsigned txPurges = 0;
    unsigned writes = 0;
    unsigned reads = 0;

    // A chip keeps its settings while attached, across close and open. These
    // are its power-up values until a call changes them.
    ULONG baudRate = 9600;
    UCHAR latencyTimerMs = 16;
    std::uint8_t bitMask = 0;
    std::uint8_t bitMode = FT_BITMODE_RESET;
};

} // namespace ftdisim

#endif

#ifndef FTDISIM_DEVICEREPORT_H
#define FTDISIM_DEVICEREPORT_H

#include "SimulatedDevice.h"

#include <string>

namespace ftdisim {

// One line on what a device's pins and the turntable behind them do at an
// open or a close, for a test that runs a program on its own bus and cannot
// look at that bus: the serial number, the event, the chip's mode, mask and
// output levels, and, from its rig, whether the DC table stands, coasts to
// its mark or runs on for good, whether the stepper holds torque, its steps
// and the camera's captures. The device must be settled.
std::string reportLine(SimulatedDevice& device, const char* event);

// Appends `line` and a line end to `file`; says on stderr when it cannot.
void appendReportLine(const std::string& file, const std::string& line);

} // namespace ftdisim

#endif

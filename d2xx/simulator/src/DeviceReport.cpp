#include "DeviceReport.h"

#include <ftdisim/TurntableRig.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace ftdisim {

namespace {

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

// A chunk with the continuous line held turns on after any later time; one
// aimed at a mark ends within a turn at most.
const char* dcState(const DcTable& table) {
    const Clock::time_point now = Clock::now();
    if (!table.isTurning(now)) {
        return "standing";
    }
    return table.isTurning(now + std::chrono::hours(1)) ? "running" : "coasting";
}

} // namespace

std::string reportLine(SimulatedDevice& device, const char* event) {
    const DeviceStats stats = device.stats();
    std::string line = device.description().serialNumber + ' ' + event +
                       " mode=" + hexByte(stats.bitMode) + " mask=" + hexByte(stats.bitMask) +
                       " levels=" + hexByte(device.outputLevels());
    const auto rig = std::dynamic_pointer_cast<TurntableRig>(device.pinModel());
    if (!rig) {
        return line;
    }
    // Only what the mask connects: the other table's lines mean nothing.
    if (stats.bitMask == TurntableRig::kDcTableMask) {
        line += std::string(" dc=") + dcState(rig->dcTable());
    } else if (stats.bitMask == TurntableRig::kStepperTableMask) {
        line += std::string(" stepper=") +
                (rig->stepperTable().isHoldingTorque() ? "holding" : "free") +
                " steps=" + std::to_string(rig->stepperTable().steps()) +
                " captures=" + std::to_string(rig->camera().captures().size());
    }
    return line;
}

void appendReportLine(const std::string& file, const std::string& line) {
    std::ofstream out(file, std::ios::app);
    out << line << '\n';
    if (!out.flush()) {
        std::cerr << "ftdisim: cannot append to the report file " << file << '\n';
    }
}

} // namespace ftdisim

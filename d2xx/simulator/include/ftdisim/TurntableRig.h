#ifndef FTDISIM_TURNTABLERIG_H
#define FTDISIM_TURNTABLERIG_H

#include <ftdisim/Camera.h>
#include <ftdisim/Clock.h>
#include <ftdisim/DcTable.h>
#include <ftdisim/Export.h>
#include <ftdisim/PinModel.h>
#include <ftdisim/StepperTable.h>

#include <cstdint>
#include <vector>

namespace ftdisim {

// What the bus wires to each device it attaches, so that every turntable
// model opens on any simulated chip: the mask a driver sets with its bit mode
// picks the table it expects. Mask 0xEF connects the DC table, mask 0xFF the
// stepper table and the camera on its shutter lines, in bit-bang mode and in
// reset mode, where their lines show what the chip's undriven pins show
// (ResetPins); any other mask or mode connects nothing. Every model starts
// from the levels of the pins when the rig is attached. A model that is cut
// off sees its lines low: a DC table turning then still stops at its mark.
class FTDISIM_EXPORT TurntableRig : public PinModel {
public:
    static constexpr std::uint8_t kDcTableMask = 0xEF;
    static constexpr std::uint8_t kStepperTableMask = 0xFF;

    explicit TurntableRig(Clock::duration dcTimePerCount = DcTable::kDefaultTimePerCount);

    DcTable& dcTable() { return dcTable_; }
    StepperTable& stepperTable() { return stepperTable_; }
    Camera& camera() { return camera_; }

    void bitModeChanged(std::uint8_t mask, std::uint8_t mode, std::uint8_t outputLevels,
                        Clock::time_point time) override;
    void outputsWritten(std::uint8_t levels, std::uint8_t outputMask,
                        Clock::time_point time) override;
    std::uint8_t inputLevels(Clock::time_point time) override;

private:
    std::vector<PinModel*> modelsFor(std::uint8_t mask, std::uint8_t mode);

    DcTable dcTable_;
    StepperTable stepperTable_;
    Camera camera_;
    // Only the bus touches these, under its lock.
    std::vector<PinModel*> connected_;
    bool attached_ = false;
};

} // namespace ftdisim

#endif

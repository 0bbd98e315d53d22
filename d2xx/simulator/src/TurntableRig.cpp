#include <ftdisim/TurntableRig.h>

#include <ftd2xx.h>

#include <utility>

namespace ftdisim {

TurntableRig::TurntableRig(Clock::duration dcTimePerCount)
    : dcTable_(dcTimePerCount) {}

void TurntableRig::bitModeChanged(std::uint8_t mask, std::uint8_t mode, std::uint8_t outputLevels,
                                  Clock::time_point time) {
    if (!attached_) {
        // The tables are wired to the chip from the start, whichever of them
        // the driver then picks.
        attached_ = true;
        for (PinModel* model :
             {static_cast<PinModel*>(&dcTable_), static_cast<PinModel*>(&stepperTable_),
              static_cast<PinModel*>(&camera_)}) {
            model->bitModeChanged(mask, mode, outputLevels, time);
        }
    }
    std::vector<PinModel*> connecting = modelsFor(mask, mode);
    if (connecting != connected_) {
        for (PinModel* model : connected_) {
            model->bitModeChanged(0, FT_BITMODE_RESET, 0, time);
        }
        connected_ = std::move(connecting);
    }
    for (PinModel* model : connected_) {
        model->bitModeChanged(mask, mode, outputLevels, time);
    }
}

void TurntableRig::outputsWritten(std::uint8_t levels, std::uint8_t outputMask,
                                  Clock::time_point time) {
    for (PinModel* model : connected_) {
        model->outputsWritten(levels, outputMask, time);
    }
}

std::uint8_t TurntableRig::inputLevels(Clock::time_point time) {
    std::uint8_t levels = 0;
    for (PinModel* model : connected_) {
        levels |= model->inputLevels(time);
    }
    return levels;
}

std::vector<PinModel*> TurntableRig::modelsFor(std::uint8_t mask, std::uint8_t mode) {
    if (mode != FT_BITMODE_ASYNC_BITBANG && mode != FT_BITMODE_RESET) {
        return {};
    }
    switch (mask) {
    case kDcTableMask:
        return {&dcTable_};
    case kStepperTableMask:
        return {&stepperTable_, &camera_};
    default:
        return {};
    }
}

} // namespace ftdisim

#include <ftdisim/PinModel.h>

namespace ftdisim {

// Out of line so that the vtable and type information of PinModel live in the
// simulator library only, and models defined in tests share them.
PinModel::~PinModel() = default;

void PinModel::bitModeChanged(std::uint8_t, std::uint8_t, std::uint8_t, Clock::time_point) {}

void PinModel::outputsWritten(std::uint8_t, std::uint8_t, Clock::time_point) {}

std::uint8_t PinModel::inputLevels(Clock::time_point) {
    return 0;
}

} // namespace ftdisim

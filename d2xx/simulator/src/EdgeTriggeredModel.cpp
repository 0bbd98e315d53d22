#include <ftdisim/EdgeTriggeredModel.h>

namespace ftdisim {

void EdgeTriggeredModel::bitModeChanged(std::uint8_t, std::uint8_t, std::uint8_t levels,
                                        Clock::time_point time) {
    if (!attached_) {
        const std::unique_lock<std::mutex> lock = lockState();
        attached_ = true;
        lines_ = levels;
        return;
    }
    follow(levels, time);
}

void EdgeTriggeredModel::outputsWritten(std::uint8_t levels, std::uint8_t, Clock::time_point time) {
    follow(levels, time);
}

std::unique_lock<std::mutex> EdgeTriggeredModel::lockState() const {
    return std::unique_lock<std::mutex>(mutex_);
}

void EdgeTriggeredModel::follow(std::uint8_t levels, Clock::time_point time) {
    const std::unique_lock<std::mutex> lock = lockState();
    const std::uint8_t before = lines_;
    lines_ = levels;
    linesChanged(before, levels, time);
}

} // namespace ftdisim

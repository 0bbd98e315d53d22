#ifndef FTDISIM_CAMERA_H
#define FTDISIM_CAMERA_H

#include <ftdisim/Clock.h>
#include <ftdisim/Export.h>
#include <ftdisim/PinModel.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace ftdisim {

// A camera on the shutter lines of the stepper table's chip. Like a real
// shutter release cable, the release line takes a picture only while the
// focus line is held (half-press); a release without focus is lost, and the
// camera counts it as missed.
class FTDISIM_EXPORT Camera : public PinModel {
public:
    static constexpr std::uint8_t kFocusLine = 0x10;
    static constexpr std::uint8_t kReleaseLine = 0x20;

    struct Capture {
        Clock::time_point time;
        // When the focus line last rose before the release.
        Clock::time_point focusedAt;
    };

    std::vector<Capture> captures() const;
    unsigned missedCaptures() const;

    void bitModeChanged(std::uint8_t mask, std::uint8_t mode, std::uint8_t outputLevels,
                        Clock::time_point time) override;
    void outputsWritten(std::uint8_t levels, std::uint8_t outputMask,
                        Clock::time_point time) override;

private:
    void linesChanged(std::uint8_t levels, Clock::time_point time);

    mutable std::mutex mutex_;
    std::uint8_t lines_ = 0;
    Clock::time_point focusedAt_;
    std::vector<Capture> captures_;
    unsigned missedCaptures_ = 0;
};

} // namespace ftdisim

#endif

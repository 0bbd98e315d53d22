#ifndef FTDISIM_CAMERA_H
#define FTDISIM_CAMERA_H

#include <ftdisim/Clock.h>
#include <ftdisim/EdgeTriggeredModel.h>
#include <ftdisim/Export.h>

#include <cstdint>
#include <vector>

namespace ftdisim {

// A camera on the shutter lines of the stepper table's chip. Like a real
// shutter release cable, the release line takes a picture only while the
// focus line is held (half-press); a release without focus is lost, and the
// camera counts it as missed.
class FTDISIM_EXPORT Camera : public EdgeTriggeredModel {
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

private:
    void linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) override;

    Clock::time_point focusedAt_;
    std::vector<Capture> captures_;
    unsigned missedCaptures_ = 0;
};

} // namespace ftdisim

#endif

#ifndef FTDISIM_EDGETRIGGEREDMODEL_H
#define FTDISIM_EDGETRIGGEREDMODEL_H

#include <ftdisim/Clock.h>
#include <ftdisim/Export.h>
#include <ftdisim/PinModel.h>

#include <cstdint>
#include <mutex>

namespace ftdisim {

// A model that follows the chip's output lines and reacts to their edges,
// never to their levels, so that a driver rewriting the same byte does
// nothing: the turntables and the camera. The lines start at the levels the
// chip shows when the model is attached (its first bitModeChanged()), which
// is no edge, and then take every level the pins show, those of a new bit
// mode too.
//
// The model's own lock guards the lines and whatever state a subclass keeps
// for tests to read from other threads; the subclass hears of each change
// under it.
class FTDISIM_EXPORT EdgeTriggeredModel : public PinModel {
public:
    void bitModeChanged(std::uint8_t mask, std::uint8_t mode, std::uint8_t outputLevels,
                        Clock::time_point time) final;
    void outputsWritten(std::uint8_t levels, std::uint8_t outputMask, Clock::time_point time) final;

protected:
    std::unique_lock<std::mutex> lockState() const;
    // The lines as last driven; read under lockState().
    std::uint8_t lines() const { return lines_; }

private:
    // The lines went from `before` to `after` at `time`; called under the
    // lock, with lines() at `after` already, for each level driven, changed
    // or not.
    virtual void linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) = 0;

    void follow(std::uint8_t levels, Clock::time_point time);

    mutable std::mutex mutex_;
    std::uint8_t lines_ = 0;
    bool attached_ = false;
};

} // namespace ftdisim

#endif

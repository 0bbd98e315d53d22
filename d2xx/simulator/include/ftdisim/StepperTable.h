#ifndef FTDISIM_STEPPERTABLE_H
#define FTDISIM_STEPPERTABLE_H

#include <ftdisim/Clock.h>
#include <ftdisim/EdgeTriggeredModel.h>
#include <ftdisim/Export.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace ftdisim {

// A turntable with a stepper motor, on a chip in bit-bang mode with direction
// mask 0xFF. Each rising edge of the step line moves it one step while the
// motor is enabled; a clockwise step lowers the position, as the SDK counts.
// An edge while the motor is disabled moves nothing: a driver that forgot to
// enable it loses the step, and the table counts it as missed.
class FTDISIM_EXPORT StepperTable : public EdgeTriggeredModel {
public:
    static constexpr std::uint8_t kEnableLine = 0x01;
    static constexpr std::uint8_t kDirectionLine = 0x02;
    static constexpr std::uint8_t kStepLine = 0x04;
    static constexpr std::uint8_t kAuxiliaryLine = 0x08;
    // Enough for step-period measurements over a long move, yet bounded for a
    // soak run.
    static constexpr std::size_t kStepTimesKept = 100000;

    // Motor drivers differ in how they are wired to the chip, as the turntable
    // models do: the pins cannot tell, so whoever opens a model on the chip
    // wires the table to match. Until then both lines are active high.
    struct Wiring {
        bool enableActiveHigh = true;
        // The level of the direction line that turns the table clockwise.
        bool clockwiseActiveHigh = true;
    };

    void setWiring(Wiring wiring);
    Wiring wiring() const;

    long long position() const;
    unsigned long long steps() const;
    unsigned long long missedSteps() const;
    // The times of the last kStepTimesKept steps, oldest first.
    std::vector<Clock::time_point> stepTimes() const;
    bool isHoldingTorque() const;
    bool auxiliaryLine() const;
    // A driver sets the direction in the write that enables the motor; a
    // change while it holds torque flips the table under load, mid-move or
    // between moves of a motor locked when idle.
    unsigned directionChangesWhileEnabled() const;

private:
    void linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) override;
    void step(Clock::time_point time);
    bool enabledAt(std::uint8_t levels) const;

    Wiring wiring_;
    long long position_ = 0;
    unsigned long long steps_ = 0;
    unsigned long long missedSteps_ = 0;
    std::deque<Clock::time_point> stepTimes_;
    unsigned directionChanges_ = 0;
};

} // namespace ftdisim

#endif

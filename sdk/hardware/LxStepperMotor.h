#ifndef LXSTEPPERMOTOR_H
#define LXSTEPPERMOTOR_H

#include "LxFTDIController.h"

// Driver of every stepper-motor turntable. The stepper electronics take
// enable, direction and step inputs from the pins; two more pins drive the
// camera's shutter-release cable. A move is a train of step pulses, one per
// count, each edge due a phase after the one before. After a move the motor
// either stays enabled, holding the table, or is released.
class LX_SDK_AUTOTEST_EXPORT LxStepperMotor final : public LxFTDIController {
public:
    // Pins (direction mask 0xFF: all outputs; 0x40 and 0x80 stay low).
    enum : unsigned char {
        ENABLE_OUTPUT = 0x01,    // level per motorEnableActiveHigh
        DIRECTION_OUTPUT = 0x02, // clockwise level per clockwiseActiveHigh
        STEP_OUTPUT = 0x04,      // one 1-then-0 pulse per step
        AUXILIARY_OUTPUT = 0x08,
        FOCUS_OUTPUT = 0x10,   // first shutter line: 1 while the release is pressed
        RELEASE_OUTPUT = 0x20, // second shutter line: 1 in the second half
        PIN_DIRECTIONS = 0xFF
    };

    // `modelIndex`: the turntable model this driver was created for.
    explicit LxStepperMotor(int modelIndex);
    ~LxStepperMotor() override;

    int ModelIndex() const { return modelIndex; }

    // Presses the camera's release for about one second on the caller's thread:
    // focus line at once, release line after 500 ms, both low after 1000 ms.
    // False, with nothing written, while a rotation runs or no device is open;
    // false too when the chip did not take every write (no picture was taken).
    bool triggerShutterRelease() override;
    // Enables the motor and sets direction and auxiliary lines for the next
    // move, on the pins at once, or for a chip-clocked train in its first
    // byte, a millisecond before its first step; false (FTDI_DIRECTION_ERROR)
    // for a direction code other than 1 or 2.
    bool Initialize() override;

protected:
    unsigned char pinDirections() const override { return PIN_DIRECTIONS; }
    // Every line low.
    void writeOpeningPins() override;
    void writeClosingPins() override;
    void runMove() override;
    // Times the chip's bit-bang clock (byteClock()), with every line as the
    // open left it.
    void probeChip() override;

private:
    unsigned char enableLevel(bool enabled) const;
    // The move's step pulses, one write per edge or as a chip-clocked train;
    // false when the chip was lost on the way.
    bool runEdgeByEdgeTrain(unsigned char stepLow, unsigned char stepHigh);
    bool runChipClockedTrain(unsigned char stepLow, unsigned char stepHigh);
    // The step pulses that begin in the first `count` of `bytes`, the line
    // high before them if `fromHigh`.
    static int risingEdges(const unsigned char* bytes, std::size_t count, bool fromHigh,
                           unsigned char stepHigh);

    int modelIndex;
    // Decided by Initialize() for the move it prepares, on the caller's
    // thread: whether it runs as a chip-clocked train, and whether its enable
    // and direction lines are still to be written (a train carries them, or
    // Initialize()'s write failed).
    bool trainPlanned = false;
    bool linesPending = false;
};

#endif

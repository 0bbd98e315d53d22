#ifndef CHIPCLOCKEDSTEPTRAIN_H
#define CHIPCLOCKEDSTEPTRAIN_H

#include "KalveraTurntableSDKGlobal.h"

#include <cstddef>
#include <vector>

// A stepper move as the bytes the FT245R's bit-bang clock puts on the pins,
// one per tick, handed out in blocks for the USB. The chip times every edge,
// so the pulses keep their widths however late a block reaches it, as long as
// it comes before the chip has clocked out the one before; one that comes
// later only lengthens the phase the chip holds meanwhile.
//
// Each step is one millisecond of the step line low, then the step time high
// (one tick at a step time of 0); the first millisecond low also sets up the
// enable and direction lines before the first edge, and the train ends with
// the last pulse's fall and an idle tail.
class LX_SDK_AUTOTEST_EXPORT ChipClockedStepTrain {
public:
    // The train is clocked at 125,000 bytes a second: a byte lasts 8 us and a
    // millisecond is 125 bytes. A faster clock would make the one-tick pulse
    // at a step time of 0 shorter, but the chip's buffer would then last less
    // than the USB frame the next block may wait for.
    static constexpr std::size_t BYTES_PER_MILLISECOND = 125;
    // The baud rate that clocks the train on a chip whose bit-bang clock puts
    // `bytesPerBaud` bytes on the pins per baud period (16 or 4): 7812 (the
    // R series divides 3 MHz by exactly 384 for it, 7812.5 baud) or 31250
    // (by 96).
    static constexpr unsigned long baudRateFor(int bytesPerBaud) {
        return static_cast<unsigned long>(BYTES_PER_MILLISECOND * 1000 / bytesPerBaud);
    }
    // What the chip holds between the USB and its pins: when a write
    // returns, all but its last so many bytes are on the pins.
    static constexpr std::size_t CHIP_BUFFER_BYTES = 128;
    // The train ends on this many bytes with every line at rest, more than
    // the chip and a USB packet can hold: when its last write returns, the
    // last edge is on the pins, and the purge before the next write can only
    // drop bytes that change nothing.
    static constexpr std::size_t IDLE_TAIL_BYTES = CHIP_BUFFER_BYTES + 64;
    // About 16 ms of pins: short enough that a stop, taken between blocks,
    // ends the move within a few tens of milliseconds, long enough that the
    // gaps between writes are rare.
    static constexpr std::size_t BLOCK_BYTES = 2048;

    // `steps` pulses of `stepTimeMs` high; 0 steps: until the caller stops.
    ChipClockedStepTrain(unsigned char stepLow, unsigned char stepHigh, unsigned int stepTimeMs,
                         int steps);

    // The next block; empty once the train has been handed out.
    const std::vector<unsigned char>& nextBlock();
    bool isHandedOut() const { return handedOut; }
    // The pulses whose rising edge is in the blocks handed out so far.
    int stepsHandedOut() const { return steps; }
    // Whether the last block handed out ends with the step line high.
    bool endsHigh() const { return high; }

private:
    // Moves on to the next phase of the train; false when there is none.
    bool beginNextPhase();

    const unsigned char stepLow;
    const unsigned char stepHigh;
    const std::size_t highBytes;
    const int stepsPlanned;
    std::vector<unsigned char> block;
    bool high = false;
    // Bytes of the current phase not handed out yet.
    std::size_t leftInPhase = BYTES_PER_MILLISECOND;
    // Whether the current low phase is the last pulse's fall and the tail.
    bool falling = false;
    bool handedOut = false;
    int steps = 0;
};

#endif

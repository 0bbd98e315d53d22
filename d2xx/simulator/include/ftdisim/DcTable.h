#ifndef FTDISIM_DCTABLE_H
#define FTDISIM_DCTABLE_H

#include <ftdisim/Clock.h>
#include <ftdisim/DcChunk.h>
#include <ftdisim/EdgeTriggeredModel.h>
#include <ftdisim/Export.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace ftdisim {

// A turntable with a DC motor, on a chip in bit-bang mode with direction mask
// 0xEF. A sensor passes a count mark every timePerCount() of turning, and a
// 4-bit counter counts the marks; the table has no direction.
//
// - The counter takes the count nibble on each rising edge of the load line,
//   also while the table turns.
// - A start pulse (start line up, then down) while the table stands still
//   starts a chunk; one while it turns is ignored. With the continuous line
//   low the chunk counts marks and stops at the mark where the counter
//   reaches 15: nibble n runs (15 - n) mod 16 counts, 16 for n = 15. A load
//   while it turns aims it anew, which is how the driver's stop sequence halts
//   a counted move at the next mark.
// - While the continuous line is high the table turns without counting; when
//   the line drops it coasts to its next mark and stops there.
// - The stopped line is high while the table stands still.
// - A table set not to start (setStarts(false)) ignores start pulses.
//
// The motion follows from the timestamps of the pin accesses alone, so a busy
// machine delays what a test sees but never changes it.
class FTDISIM_EXPORT DcTable : public EdgeTriggeredModel {
public:
    static constexpr std::uint8_t kCountNibble = 0x0F;
    static constexpr std::uint8_t kStoppedLine = 0x10;
    static constexpr std::uint8_t kStartLine = 0x20;
    static constexpr std::uint8_t kContinuousLine = 0x40;
    static constexpr std::uint8_t kLoadLine = 0x80;
    // A table of 72 counts a turn that takes under nine seconds for it.
    static constexpr Clock::duration kDefaultTimePerCount = std::chrono::milliseconds(120);

    explicit DcTable(Clock::duration timePerCount = kDefaultTimePerCount);

    // Applies from the next chunk on. Throws std::invalid_argument unless positive.
    void setTimePerCount(Clock::duration timePerCount);
    Clock::duration timePerCount() const;
    // Whether a start pulse starts a chunk (true until set): false stands for
    // a table that never starts, its motor dead or unpowered, whose stopped
    // line stays high whatever the driver does. Applies from the next pulse.
    void setStarts(bool starts);

    // In start order; the last one may still be turning.
    std::vector<DcChunk> chunks() const;
    unsigned countsTurned(Clock::time_point at = Clock::now()) const;
    bool isTurning(Clock::time_point at = Clock::now()) const;

    std::uint8_t inputLevels(Clock::time_point time) override;

private:
    enum class Drive { Counting, Continuous, Coasting };

    void linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) override;
    void finishRunBy(Clock::time_point time);
    void load(std::uint8_t nibble, Clock::time_point time);
    void holdContinuous(Clock::time_point time);
    void coast(Clock::time_point time);
    void start(Clock::time_point time);
    long long marksBy(Clock::time_point time) const;
    std::uint8_t counterAtMark(long long mark) const;
    void stopAtMark(long long mark);

    Clock::duration timePerCount_;
    bool startRaised_ = false;
    bool starts_ = true;
    // How the chunk chunks_.back() turns; empty while the table stands still.
    std::optional<Drive> drive_;
    // The counter now while the table stands; while it turns, the counter at
    // anchorMark_ of the chunk, from where it counts on while Counting.
    std::uint8_t counter_ = 0;
    long long anchorMark_ = 0;
    std::vector<DcChunk> chunks_;
};

} // namespace ftdisim

#endif

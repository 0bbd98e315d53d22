#include <ftdisim/DcTable.h>

#include "LineEdges.h"

#include <algorithm>
#include <stdexcept>

namespace ftdisim {

namespace {

constexpr std::uint8_t kLastCount = 15;
constexpr std::uint8_t kCounterMask = 0x0F;

// The marks from `counter` until the counter next reads 15: it wraps past 0.
long long marksToLastCount(std::uint8_t counter) {
    const int marks = (kLastCount - counter) & kCounterMask;
    return marks == 0 ? kCounterMask + 1 : marks;
}

} // namespace

DcTable::DcTable(Clock::duration timePerCount) {
    setTimePerCount(timePerCount);
}

void DcTable::setTimePerCount(Clock::duration timePerCount) {
    if (timePerCount <= Clock::duration::zero()) {
        throw std::invalid_argument("ftdisim: a DC table needs a positive time per count");
    }
    const auto lock = lockState();
    timePerCount_ = timePerCount;
}

Clock::duration DcTable::timePerCount() const {
    const auto lock = lockState();
    return timePerCount_;
}

void DcTable::setStarts(bool starts) {
    const auto lock = lockState();
    starts_ = starts;
}

std::vector<DcChunk> DcTable::chunks() const {
    const auto lock = lockState();
    return chunks_;
}

unsigned DcTable::countsTurned(Clock::time_point at) const {
    const auto lock = lockState();
    unsigned counts = 0;
    for (const DcChunk& chunk : chunks_) {
        counts += chunk.countsTurnedBy(at);
    }
    return counts;
}

bool DcTable::isTurning(Clock::time_point at) const {
    const auto lock = lockState();
    return std::any_of(chunks_.begin(), chunks_.end(),
                       [at](const DcChunk& chunk) { return chunk.turningAt(at); });
}

std::uint8_t DcTable::inputLevels(Clock::time_point time) {
    const auto lock = lockState();
    finishRunBy(time);
    return drive_ ? 0 : kStoppedLine;
}

void DcTable::linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) {
    finishRunBy(time);
    const LineEdges edges(before, after);
    // In the order a byte that changes several lines at once takes effect:
    // the counter and the continuous line are set up before the pulse ends.
    if (edges.rose(kLoadLine)) {
        load(after & kCountNibble, time);
    }
    if (edges.rose(kContinuousLine)) {
        holdContinuous(time);
    }
    if (edges.fell(kContinuousLine)) {
        coast(time);
    }
    if (edges.rose(kStartLine)) {
        startRaised_ = true;
    }
    if (edges.fell(kStartLine) && startRaised_) {
        startRaised_ = false;
        if (starts_) {
            start(time);
        }
    }
}

void DcTable::finishRunBy(Clock::time_point time) {
    if (!drive_) {
        return;
    }
    const DcChunk& chunk = chunks_.back();
    if (chunk.end && *chunk.end <= time) {
        counter_ = counterAtMark(chunk.counts);
        drive_.reset();
    }
}

void DcTable::load(std::uint8_t nibble, Clock::time_point time) {
    if (drive_ == Drive::Counting) {
        anchorMark_ = marksBy(time);
        stopAtMark(anchorMark_ + marksToLastCount(nibble));
    }
    counter_ = nibble;
}

void DcTable::holdContinuous(Clock::time_point time) {
    if (!drive_ || drive_ == Drive::Continuous) {
        return;
    }
    counter_ = counterAtMark(marksBy(time));
    drive_ = Drive::Continuous;
    chunks_.back().end.reset();
    chunks_.back().counts = 0;
}

void DcTable::coast(Clock::time_point time) {
    if (drive_ != Drive::Continuous) {
        return;
    }
    drive_ = Drive::Coasting;
    stopAtMark(marksBy(time) + 1);
}

void DcTable::start(Clock::time_point time) {
    if (drive_) {
        return;
    }
    DcChunk chunk;
    chunk.start = time;
    chunk.continuous = (lines() & kContinuousLine) != 0;
    chunk.nibble = counter_;
    chunk.timePerCount = timePerCount_;
    chunks_.push_back(chunk);
    anchorMark_ = 0;
    if (chunk.continuous) {
        drive_ = Drive::Continuous;
    } else {
        drive_ = Drive::Counting;
        stopAtMark(marksToLastCount(counter_));
    }
}

long long DcTable::marksBy(Clock::time_point time) const {
    const DcChunk& chunk = chunks_.back();
    return (time - chunk.start) / chunk.timePerCount;
}

std::uint8_t DcTable::counterAtMark(long long mark) const {
    if (drive_ != Drive::Counting) {
        return counter_;
    }
    return static_cast<std::uint8_t>((counter_ + (mark - anchorMark_)) & kCounterMask);
}

void DcTable::stopAtMark(long long mark) {
    DcChunk& chunk = chunks_.back();
    chunk.counts = static_cast<unsigned>(mark);
    chunk.end = chunk.start + mark * chunk.timePerCount;
}

} // namespace ftdisim

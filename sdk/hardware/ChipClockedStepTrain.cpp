#include "ChipClockedStepTrain.h"

#include <algorithm>

ChipClockedStepTrain::ChipClockedStepTrain(unsigned char stepLow, unsigned char stepHigh,
                                           unsigned int stepTimeMs, int steps)
    : stepLow(stepLow)
    , stepHigh(stepHigh)
    , highBytes(std::max<std::size_t>(1, stepTimeMs * BYTES_PER_MILLISECOND))
    , stepsPlanned(steps) {
    block.reserve(BLOCK_BYTES + CHIP_BUFFER_BYTES + 1);
}

bool ChipClockedStepTrain::beginNextPhase() {
    if (high) {
        high = false;
        falling = stepsPlanned != 0 && steps == stepsPlanned;
        // The last fall needs only its edge: nothing follows it in this train.
        leftInPhase = falling ? 1 : BYTES_PER_MILLISECOND;
        return true;
    }
    if (falling) {
        return false;
    }
    high = true;
    leftInPhase = highBytes;
    ++steps;
    return true;
}

const std::vector<unsigned char>& ChipClockedStepTrain::nextBlock() {
    block.clear();
    // Bytes of the current level at the end of this block.
    std::size_t run = 0;
    // One more than the chip holds: the byte on the pins after a purge is
    // then part of the run too.
    constexpr std::size_t safeRun = CHIP_BUFFER_BYTES + 1;
    while (!handedOut) {
        const bool full = block.size() >= BLOCK_BYTES;
        if (full && run >= safeRun) {
            break;
        }
        if (leftInPhase == 0) {
            handedOut = !beginNextPhase();
            run = 0;
            continue;
        }
        std::size_t take = std::min(leftInPhase, BLOCK_BYTES - std::min(block.size(), BLOCK_BYTES));
        if (full) {
            // A low phase too short to end the block on is lengthened; a short
            // pulse is followed into the low phase after it.
            if (!high && !falling && leftInPhase < safeRun - run) {
                leftInPhase = safeRun - run;
            }
            take = std::min(leftInPhase, safeRun - run);
        }
        block.insert(block.end(), take, high ? stepHigh : stepLow);
        leftInPhase -= take;
        run += take;
    }
    return block;
}

#include "ChipClockedStepTrain.h"

#include <algorithm>

ChipClockedStepTrain::ChipClockedStepTrain(unsigned char stepLow, unsigned char stepHigh,
                                           unsigned int stepTimeMs, int steps)
    : stepLow(stepLow)
    , stepHigh(stepHigh)
    , highBytes(std::max<std::size_t>(1, stepTimeMs * BYTES_PER_MILLISECOND))
    , stepsPlanned(steps) {
    block.reserve(BLOCK_BYTES);
}

bool ChipClockedStepTrain::beginNextPhase() {
    if (high) {
        high = false;
        falling = stepsPlanned != 0 && steps == stepsPlanned;
        leftInPhase = falling ? IDLE_TAIL_BYTES : BYTES_PER_MILLISECOND;
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
    while (!handedOut && block.size() < BLOCK_BYTES) {
        if (leftInPhase == 0) {
            handedOut = !beginNextPhase();
            continue;
        }
        const std::size_t take = std::min(leftInPhase, BLOCK_BYTES - block.size());
        block.insert(block.end(), take, high ? stepHigh : stepLow);
        leftInPhase -= take;
    }
    return block;
}

#include <ftdisim/StepperTable.h>

#include "LineEdges.h"

namespace ftdisim {

namespace {

bool isHigh(std::uint8_t levels, std::uint8_t line) {
    return (levels & line) != 0;
}

} // namespace

void StepperTable::setWiring(Wiring wiring) {
    std::lock_guard<std::mutex> lock(mutex_);
    wiring_ = wiring;
}

StepperTable::Wiring StepperTable::wiring() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wiring_;
}

long long StepperTable::position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return position_;
}

unsigned long long StepperTable::steps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
}

unsigned long long StepperTable::missedSteps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return missedSteps_;
}

std::vector<Clock::time_point> StepperTable::stepTimes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {stepTimes_.begin(), stepTimes_.end()};
}

bool StepperTable::isHoldingTorque() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return enabledAt(lines_);
}

bool StepperTable::auxiliaryLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return isHigh(lines_, kAuxiliaryLine);
}

unsigned StepperTable::directionChangesWhileEnabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return directionChanges_;
}

void StepperTable::bitModeChanged(std::uint8_t, std::uint8_t, std::uint8_t outputLevels,
                                  Clock::time_point time) {
    linesChanged(outputLevels, time);
}

void StepperTable::outputsWritten(std::uint8_t levels, std::uint8_t, Clock::time_point time) {
    linesChanged(levels, time);
}

void StepperTable::linesChanged(std::uint8_t levels, Clock::time_point time) {
    std::lock_guard<std::mutex> lock(mutex_);
    const LineEdges edges(lines_, levels);
    const bool wasEnabled = enabledAt(lines_);
    lines_ = levels;
    if (edges.changed(kDirectionLine) && wasEnabled && enabledAt(levels)) {
        ++directionChanges_;
    }
    if (edges.rose(kStepLine)) {
        step(time);
    }
}

void StepperTable::step(Clock::time_point time) {
    if (!enabledAt(lines_)) {
        ++missedSteps_;
        return;
    }
    ++steps_;
    const bool clockwise = isHigh(lines_, kDirectionLine) == wiring_.clockwiseActiveHigh;
    position_ += clockwise ? -1 : 1;
    stepTimes_.push_back(time);
    if (stepTimes_.size() > kStepTimesKept) {
        stepTimes_.pop_front();
    }
}

bool StepperTable::enabledAt(std::uint8_t levels) const {
    return isHigh(levels, kEnableLine) == wiring_.enableActiveHigh;
}

} // namespace ftdisim

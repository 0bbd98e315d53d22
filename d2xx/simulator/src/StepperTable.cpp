#include <ftdisim/StepperTable.h>

#include "LineEdges.h"

namespace ftdisim {

namespace {

bool isHigh(std::uint8_t levels, std::uint8_t line) {
    return (levels & line) != 0;
}

} // namespace

void StepperTable::setWiring(Wiring wiring) {
    const auto lock = lockState();
    wiring_ = wiring;
}

StepperTable::Wiring StepperTable::wiring() const {
    const auto lock = lockState();
    return wiring_;
}

long long StepperTable::position() const {
    const auto lock = lockState();
    return position_;
}

unsigned long long StepperTable::steps() const {
    const auto lock = lockState();
    return steps_;
}

unsigned long long StepperTable::missedSteps() const {
    const auto lock = lockState();
    return missedSteps_;
}

std::vector<Clock::time_point> StepperTable::stepTimes() const {
    const auto lock = lockState();
    return {stepTimes_.begin(), stepTimes_.end()};
}

bool StepperTable::isHoldingTorque() const {
    const auto lock = lockState();
    return enabledAt(lines());
}

bool StepperTable::auxiliaryLine() const {
    const auto lock = lockState();
    return isHigh(lines(), kAuxiliaryLine);
}

unsigned StepperTable::directionChangesWhileEnabled() const {
    const auto lock = lockState();
    return directionChanges_;
}

void StepperTable::linesChanged(std::uint8_t before, std::uint8_t after, Clock::time_point time) {
    const LineEdges edges(before, after);
    if (edges.changed(kDirectionLine) && enabledAt(before) && enabledAt(after)) {
        ++directionChanges_;
    }
    if (edges.rose(kStepLine)) {
        step(time);
    }
}

void StepperTable::step(Clock::time_point time) {
    if (!enabledAt(lines())) {
        ++missedSteps_;
        return;
    }
    ++steps_;
    const bool clockwise = isHigh(lines(), kDirectionLine) == wiring_.clockwiseActiveHigh;
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

#include "KalveraTurntableReporter_p.h"

#include "LxKalveraTurntableControl.h"

#include <cmath>

namespace kalveraturntable {

double clockwiseDegrees(double controllerPosition) {
    // The controller's position grows counterclockwise; a host's angles, as a
    // shoot's, grow clockwise. Adding 0.0 turns -0.0 into 0.0.
    const double degrees = std::fmod(-controllerPosition, 360.0);
    return (degrees < 0.0 ? degrees + 360.0 : degrees) + 0.0;
}

Reporter::Reporter(std::shared_ptr<Shared> shared, LxKalveraTurntableControl& control)
    : shared(std::move(shared))
    , control(control) {}

void Reporter::tellState() {
    state.opened = control.isTurntableOpened();
    state.rotating = control.IsTurntableRotating();
    state.position = clockwiseDegrees(control.positionInDegrees());
    state.chipClocked = control.isChipClockedStepTrains();
    if (!state.opened) {
        state.model = -1;
    }
    if (state != told) {
        told = state;
        shared->tell(Event::stateChanged(state));
    }
}

void Reporter::tell(Event event) {
    shared->tell(std::move(event));
}

void Reporter::failed() {
    failed(control.lastErrorCode(), control.lastError());
}

void Reporter::failed(LxAbstractPlugin::ErrorCode code, const QString& text) {
    state.lastErrorCode = static_cast<int>(code);
    state.lastError = text;
    tellState();
    shared->tell(Event::error(state.lastErrorCode, text));
}

} // namespace kalveraturntable

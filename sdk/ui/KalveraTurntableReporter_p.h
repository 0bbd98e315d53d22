#ifndef KALVERATURNTABLEREPORTER_P_H
#define KALVERATURNTABLEREPORTER_P_H

#include "KalveraTurntable_p.h"
#include "LxAbstractPlugin.h"

class LxKalveraTurntableControl;

namespace kalveraturntable {

// The controller's position as the object's `position`: degrees clockwise,
// from 0 up to 360.
double clockwiseDegrees(double controllerPosition);

// The worker's account of what it tells its object: the state, read from the
// controller where the controller knows it, and the signals, in order.
class Reporter {
public:
    Reporter(std::shared_ptr<Shared> shared, LxKalveraTurntableControl& control);

    // Tells the state when it differs from what was told last.
    void tellState();
    void tell(Event event);
    // The controller's reason for the failure just seen.
    void failed();
    void failed(LxAbstractPlugin::ErrorCode code, const QString& text);

    // What the worker keeps itself (models, model, shoot); tellState() reads
    // the rest from the controller.
    State state;

private:
    const std::shared_ptr<Shared> shared;
    LxKalveraTurntableControl& control;
    State told;
};

} // namespace kalveraturntable

#endif

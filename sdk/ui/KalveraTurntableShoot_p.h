#ifndef KALVERATURNTABLESHOOT_P_H
#define KALVERATURNTABLESHOOT_P_H

#include "KalveraTurntableReporter_p.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <vector>

class LxKalveraTurntableControl;

namespace kalveraturntable {

// The `plannedAngles` of a shoot of `plan`; empty when it plans no captures:
// no frames, or no capture angles where it takes those.
QVariantList plannedAnglesOf(const LxShootPlan& plan);

// A shoot on the worker's thread: the controller's sequence of moves, each
// ended by the controller's notice, with a captureReady() between them.
class ShootSequence {
public:
    // `followMove` is called when a move of the shoot starts, for the worker
    // to follow the table.
    ShootSequence(LxKalveraTurntableControl& control, Reporter& reporter,
                  std::function<void()> followMove);

    bool isRunning() const;
    // A move of the shoot was asked for and its notice has not come.
    bool isMoveOutstanding() const;

    // Plans the shoot and, after the pre-capture delay, tells capture 1
    // where the table stands; the controller's refusal as an error.
    void start(const LxShootPlan& plan);
    void setAutoAdvance(bool on);
    // Turns on to the next capture; nothing while no capture waits.
    void captureTaken();
    // The controller's notice: the shoot's move has ended and the pre-capture
    // delay passed. Of no move of the shoot, it is not taken.
    void notice();
    // Stops the table and ends the controller's sequence; `shoot` is Stopping
    // until end().
    void stopTable();
    // The notices of the stopped moves have been dropped.
    void forgetMove();
    void end(bool completed);
    // Whether the notice of the shoot's move is overdue because the process
    // took the turntable's notices away from the objects: it would never come.
    bool isNoticeLost(bool tableTurns);

private:
    void readyForCapture();

    LxKalveraTurntableControl& control;
    Reporter& reporter;
    const std::function<void()> followMove;
    // Capture 1 waits the pre-capture delay as every other does.
    QTimer firstCapture;
    bool autoAdvance = false;
    bool moveOutstanding = false;
    bool awaitingCapture = false;
    // Since the shoot's move was asked for, or the table was last seen
    // turning in it.
    QElapsedTimer sinceTableActive;
    // Where the table goes after each capture, from the start of the shoot.
    std::vector<double> targets;
    std::size_t taken = 0;
};

} // namespace kalveraturntable

#endif

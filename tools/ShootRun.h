#ifndef SHOOTRUN_H
#define SHOOTRUN_H

#include "CaptureCommand.h"
#include "CommandLine.h"
#include "EventOutput.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <memory>
#include <optional>
#include <vector>

class LxThreadMailbox;
class TerminationSignals;
class TurntableSession;

// One shoot on an open turntable whose settings view holds the shoot's
// settings, driven as docs/api.md "The calls of a shoot" says: the plan, then
// one rotateDeviceToAngle() per capture, each made where the capture is taken
// and passing the next capture's position, the next one when the turntable's
// notice says the table stands. The notice comes on a rotation thread; the
// mailbox brings it to this thread, where the capture command runs and the
// next call is made.
//
// A resumed shoot (--resume-from K) plans the same captures; the table stands
// at P degrees from the interrupted shoot's start (--from-angle, else capture
// K - 1's angle), which becomes the SDK's start. It turns on to capture K, and
// the calls pass the positions less P, the last one the interrupted shoot's
// start. Its sequence then ends without the SDK's move back to its own start.
class ShootRun {
public:
    // Takes the turntable's notices from here on: made before the session
    // opens, as the callbacks must be assigned before the open.
    ShootRun(TurntableSession& session, const ToolOptions& options, EventOutput& output,
             const TerminationSignals& termination);
    ~ShootRun();
    ShootRun(const ShootRun&) = delete;
    ShootRun& operator=(const ShootRun&) = delete;

    // Plans and runs the shoot, on the opened session, to its end; the
    // program's status. Failed when the notices cannot reach this thread.
    int run();

private:
    int plan();
    void begin();
    void tableStands();
    void takeCapture();
    void turnOn();
    // Tells of the capture just taken, with the table at `standing`.
    void captureTaken(const std::optional<double>& standing);
    void finish();
    void interrupt();
    void stopWith(int status);
    // Where the table stands, in degrees from the (interrupted) shoot's start.
    std::optional<double> tablePosition();
    // Capture k's position, 1 <= k <= count + 1 (count + 1: the whole turn).
    double position(int k) const;
    QString angleText(int k) const;
    double halfCount() const;

    TurntableSession& session;
    const ToolOptions& options;
    EventOutput& output;
    const TerminationSignals& termination;
    std::unique_ptr<LxThreadMailbox> notices;
    std::unique_ptr<CaptureCommand> captureCommand;
    QEventLoop loop;
    QElapsedTimer clock;
    int count = 0;
    std::vector<double> targets;
    double start = 0.0;
    int next = 1;
    int status = 0;
    bool interrupted = false;
};

#endif

#ifndef ROTATIONTHREADSTATE_H
#define ROTATIONTHREADSTATE_H

#include <condition_variable>
#include <thread>

class LxFTDIController;

// One started rotation: its thread and where it stands. Shared by the driver
// and the thread itself, so that the thread can still mark the end of its
// notice after the driver has let go of it.
struct RotationThreadState {
    std::thread thread;
    std::thread::id threadId;
    // The driver that started it; set before the thread starts, never changed.
    const LxFTDIController* driver = nullptr;
    // Where the move started and what one step turns, signed by the
    // direction, in degrees: the position of each step without the driver's
    // settings, which the caller's thread owns. Set before the thread starts.
    double startPositionInDegrees = 0.0;
    double degreesPerStep = 0.0;
    // Whether the move ended because the chip stopped answering; written and
    // read by the thread itself.
    bool chipLost = false;
    // The fields below are read and written only under
    // LxAbstractPlugin::AbstractPluginPrivate::asyncMutex.
    // True from the start until the rotation ends or is asked to end.
    bool running = true;
    // Told when another thread asks the rotation to end, so that the
    // rotation's waits need not look at `running` over and over.
    std::condition_variable stopAsked;
    // Where the thread stands. Moving and Ending end by themselves; Notifying
    // lasts as long as the host's notice, which may wait for the very thread
    // that would join this one; Done only returns.
    enum class Phase { Moving, Ending, Notifying, Done };
    Phase phase = Phase::Moving;
    // Set when the rotation is stopped: a notice not yet given to the host is
    // dropped rather than arriving after the stop.
    bool noticeDropped = false;
};

#endif

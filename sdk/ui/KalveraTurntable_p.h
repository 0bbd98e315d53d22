#ifndef KALVERATURNTABLE_P_H
#define KALVERATURNTABLE_P_H

#include "KalveraTurntable.h"
#include "LxShootPlan.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class LxThreadMailbox;
class QAbstractEventDispatcher;

namespace kalveraturntable {

// What the object asks of its worker. Each kind reads only the fields named
// beside it.
struct Command {
    enum class Kind {
        Find,
        Open, // model
        Close,
        RotateBy,         // degrees
        RotateTo,         // degrees
        RotateCounts,     // counts
        TurnContinuously, // clockwise
        Stop,
        FireShutter,
        ApplySettings, // plan
        StartShoot,    // plan
        StopShoot,
        CaptureTaken,
        SetAutoAdvance // autoAdvance
    };
    explicit Command(Kind kind)
        : kind(kind) {}

    Kind kind;
    int model = -1;
    double degrees = 0.0;
    int counts = 0;
    bool clockwise = false;
    bool autoAdvance = false;
    LxShootPlan plan{};
};

// The object's properties as the worker last saw them.
struct State {
    QStringList models;
    int model = -1;
    bool opened = false;
    bool rotating = false;
    double position = 0.0;
    bool chipClocked = false;
    QString lastError;
    int lastErrorCode = 0;
    KalveraTurntable::ShootState shoot = KalveraTurntable::ShootState::Idle;
    int captureIndex = 0;
    int captureCount = 0;
    QVariantList plannedAngles;

    bool operator==(const State& other) const;
    bool operator!=(const State& other) const { return !(*this == other); }
};

// What the worker tells the object, in order: a new state, or a signal. Made
// by the functions below, each of which fills the fields its signal carries.
struct Event {
    enum class Kind { StateChanged, MoveEnded, CaptureReady, ShootFinished, Disconnected, Error };
    explicit Event(Kind kind)
        : kind(kind) {}

    static Event stateChanged(const State& state);
    static Event captureReady(int index, double angle);
    static Event shootFinished(bool completed);
    static Event error(int code, const QString& text);

    Kind kind;
    State state{};
    int captureIndex = 0;
    double captureAngle = 0.0;
    bool completed = false;
    int errorCode = 0;
    QString errorText{};
};

// What the object and its worker share. Each side wakes the other through a
// mailbox made on its own thread; the values go through the queues below,
// under the mutex, which ThreadSanitizer follows (it cannot follow Qt's
// queued calls).
struct Shared {
    std::mutex mutex;
    std::deque<Command> commands;
    std::deque<Event> events;
    // Null before the worker's loop runs and after it ends.
    LxThreadMailbox* workerBox = nullptr;
    // The object's thread's mailbox; null while the object moves to another
    // thread (the events wait for the new thread's mailbox) and once it has
    // gone.
    LxThreadMailbox* objectBox = nullptr;
    // False once the object has gone: nothing is told any more.
    bool objectAlive = true;
    // The controller's notices that the worker has not taken yet.
    int noticesPending = 0;
    // Set as the object goes: the worker's loop ends at its next turn.
    bool quitting = false;
    // The worker's event dispatcher while its loop runs, to wake for the quit.
    QAbstractEventDispatcher* workerDispatcher = nullptr;

    // From the object's thread; runs once the worker's loop does.
    void command(Command c);
    // From the worker's thread.
    void tell(Event e);
    // From the worker's thread: the oldest command not run yet, taking it;
    // none once quit() was called.
    std::optional<Command> takeCommand();
    // From any thread: wakes the worker for a notice of the controller's
    // (kNoticeCall, kDisconnectedCall).
    void wakeWorker(int why);
    // From the worker's thread: whether a notice is there to take, taking it.
    bool takeNotice();
    // From the worker's thread: the notices not taken yet are of no move.
    void dropNotices();
    // From the object's thread as it goes: drops the commands not run yet
    // and ends the worker's loop. It needs no event delivered, which Qt no
    // longer does once the application object has gone, as it has for an
    // object deleted with it or after it.
    void quit();
    // From the worker's thread.
    bool quitRequested();
};

constexpr int kCommandsCall = 0;
constexpr int kNoticeCall = 1;
constexpr int kDisconnectedCall = 2;

// The thread the controller serves, from its start to its join. It makes the
// controller and its worker on itself, runs their event loop until the
// object goes (Shared::quit()), and lets them go there. A std::thread, whose join
// ThreadSanitizer sees: a QThread's end it cannot follow.
class WorkerThread {
public:
    explicit WorkerThread(std::shared_ptr<Shared> shared);
    // Waits for the thread, which ends after Shared::quit().
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

private:
    static void run(const std::shared_ptr<Shared>& shared);

    std::thread thread;
};

} // namespace kalveraturntable

class KalveraTurntable::Private {
public:
    std::shared_ptr<kalveraturntable::Shared> shared;
    std::unique_ptr<kalveraturntable::WorkerThread> thread;
    kalveraturntable::State state;
    bool autoAdvance = false;
};

#endif

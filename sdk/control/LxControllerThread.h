#ifndef LXCONTROLLERTHREAD_H
#define LXCONTROLLERTHREAD_H

#include "KalveraTurntableSDKGlobal.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class LxThreadMailbox;
class QObject;

// The one thread a controller serves, and what carries work to it: a mailbox
// for calls made on other threads (rotation threads, inside a turntable
// notice) and timers. It binds when the controller first opens a device or
// makes its view, not when it is made: plug-in loaders make controllers on
// worker threads, and hosts may make them before their application object.
// What it hands to the controller runs through a gate that the controller
// closes when it goes, so that nothing handed over runs into a controller
// destroyed on another thread. Made on, and let go of from, any thread.
class LX_SDK_AUTOTEST_EXPORT LxControllerThread {
public:
    // `receive` gets what post() sent, on the bound thread.
    explicit LxControllerThread(std::function<void(int)> receive);
    // Closes the gate; on another thread than the bound one, the thread's Qt
    // objects are handed to it to go there.
    ~LxControllerThread();
    LxControllerThread(const LxControllerThread&) = delete;
    LxControllerThread& operator=(const LxControllerThread&) = delete;

    // Binds to the calling thread unless bound already; false when bound to
    // another. On the bound thread it also makes the mailbox and the timers'
    // context once the thread has a Qt event dispatcher (a QCoreApplication's
    // thread, or a QThread); until then nothing can be handed to it, and no
    // timer runs.
    bool bindToCallingThread();
    bool isBound() const;
    // Whether the caller runs on the bound thread, while its loop runs.
    bool isCurrent() const;
    // Whether the bound thread was a QThread whose event loop has ended: no
    // thread is the controller's any more (another may come to have its id),
    // and nothing can be handed over. What it made for that has gone.
    bool hasEnded() const { return loopEnded; }
    // Hands `call` to the bound thread's event loop. False when there is no
    // loop to take it: not bound, bound to a thread without a dispatcher, or
    // to one whose loop has ended.
    bool post(int call);
    // Drops the calls posted so far and not yet received. On the bound thread.
    void dropPosted();
    // Runs `action` on the bound thread after `ms` milliseconds. Call it on
    // the bound thread.
    void startTimer(int ms, std::function<void()> action);
    // Like startTimer(), for a notice to the host: `notice` runs only while
    // the gate is open, but is not counted as a call under way, so that a
    // host may destroy the controller inside it, also through another thread
    // that it waits for. It must touch nothing of the controller.
    void startNoticeTimer(int ms, std::function<void()> notice);
    // What runs a call now, on the calling thread, only while the gate is
    // open, and says whether it ran: for objects that outlive the controller
    // (a view's, deleted later on their own thread) and call into it.
    std::function<bool(const std::function<void()>&)> gateKeeper() const;
    // `call` wrapped so that it runs only while the gate is open.
    std::function<void(int)> gated(std::function<void(int)> call) const;
    // Closes the gate: nothing handed over runs from now on. On another
    // thread than the bound one it waits until a call that runs now is over.
    void closeGate();

private:
    class Gate;

    void makeEventObjects();
    // On the bound thread, as its QThread finishes.
    void endOfLoop();

    std::atomic<std::thread::id> boundThread{};
    std::function<void(int)> receive;
    std::shared_ptr<Gate> gate;
    // Made and used on the bound thread; destroyed there, or handed to it.
    std::atomic<LxThreadMailbox*> mailbox{nullptr};
    QObject* timerContext = nullptr;
    std::atomic<bool> loopEnded{false};
};

#endif

#ifndef LXCONTROLLERTHREAD_H
#define LXCONTROLLERTHREAD_H

#include "LxThreadMailbox.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QObject;

// The one thread a controller serves, and what carries work to it: a mailbox
// for calls made on other threads (rotation threads, inside a turntable
// notice) and the timers of a sequence's steps. It binds when the controller
// first opens a device, not when it is made: plug-in loaders make controllers
// on worker threads, and hosts may make them before their application object.
// Made on, and let go of from, any thread.
class LxControllerThread {
public:
    // `receive` gets what post() sent, on the bound thread.
    explicit LxControllerThread(std::function<void(int)> receive);
    // On another thread than the bound one, its Qt objects are handed over to
    // go there; timers not yet run never run.
    ~LxControllerThread();
    LxControllerThread(const LxControllerThread&) = delete;
    LxControllerThread& operator=(const LxControllerThread&) = delete;

    // Binds to the calling thread, once; later calls change nothing. The
    // mailbox and the timers need the thread's Qt event dispatcher (a
    // QCoreApplication's thread, or a QThread); without one, nothing can be
    // handed to the thread, and no timer runs.
    void bindToCallingThread();
    bool isBound() const;
    // Whether the caller runs on the bound thread.
    bool isCurrent() const;
    // Hands `call` to the bound thread's event loop. False when there is no
    // loop to take it: not bound, or bound to a thread without a dispatcher.
    bool post(int call);
    // Runs `action` on the bound thread after `ms` milliseconds, unless the
    // timers are cancelled first. Call it on the bound thread.
    void startTimer(int ms, std::function<void()> action);
    // Drops every timer not yet run. On the bound thread.
    void cancelTimers();

private:
    std::atomic<std::thread::id> boundThread{};
    std::function<void(int)> receive;
    std::unique_ptr<LxThreadMailbox> mailbox;
    // The timers' context: deleting it cancels them.
    std::unique_ptr<QObject> timerContext;
    // Cleared when this goes on another thread, before its timers' context
    // does: a timer due in between finds it cleared and does nothing.
    std::shared_ptr<std::atomic<bool>> timersLive = std::make_shared<std::atomic<bool>>(true);
};

#endif

#ifndef LXTHREADMAILBOX_H
#define LXTHREADMAILBOX_H

#include "KalveraTurntableSDKGlobal.h"

#include <atomic>
#include <deque>
#include <functional>

class QSocketNotifier;

/// Brings ints from any thread to the thread that made the mailbox, in the
/// order sent: the way a host takes the turntable's notices to its own thread.
/// turntableRotationStopped comes on a rotation thread, whose owner may be
/// waiting for it to end; the host sends from there and takes its next step
/// when its own event loop hands the value to `receive`.
///
/// Sending never blocks and loses nothing: the values wait in memory, however
/// many the receiving thread has not taken yet. The receiving thread is woken
/// through a pipe that its event loop watches, so no Qt object or event
/// crosses threads, and ThreadSanitizer sees the hand-over for what it is
/// (it cannot see into Qt's queued calls).
///
/// The making thread needs a Qt event dispatcher (a QCoreApplication's thread,
/// or a QThread). When the system gives no pipe (out of file descriptors),
/// every value sent is dropped.
class LX_SDK_EXPORT LxThreadMailbox {
public:
    /// `receive` gets each value sent, once, on the making thread, from its
    /// event loop; never inside send().
    explicit LxThreadMailbox(std::function<void(int)> receive);
    /// On the making thread only (destroy() serves any thread). Values not yet
    /// received are dropped. No thread may send any more.
    ~LxThreadMailbox();
    LxThreadMailbox(const LxThreadMailbox&) = delete;
    LxThreadMailbox& operator=(const LxThreadMailbox&) = delete;

    /// Destroys `mailbox` from any thread. On another thread than the making
    /// one it goes from that thread's event loop, which drops the values sent
    /// before (the pipe's watcher cannot leave a thread's event loop from
    /// outside); `receive` is not called any more once destroy() has
    /// returned, unless its thread is inside it right now; called from inside
    /// `receive`, the mailbox goes once that call has returned. No thread may
    /// send any more.
    static void destroy(LxThreadMailbox* mailbox);

    /// Any thread, also the making one and from inside `receive`; never
    /// blocks and never calls `receive` itself.
    void send(int value);
    /// Whether the mailbox got its pipe; false when the system gave none (out
    /// of file descriptors), and every value sent is dropped.
    bool isValid() const { return writeEnd != -1; }
    /// Drops the values sent so far and not yet received, also those of a
    /// batch that `receive` is being given right now. On the making thread.
    void dropPending();

private:
    struct Sent;
    enum class Wake : char { values, destroy };

    void wake(Wake why) const;
    // Moves what the senders have left into `ready`, oldest first.
    void collectSent();
    void receiveAll();

    int readEnd = -1;
    int writeEnd = -1;
    // Owns both ends of the pipe and closes them when it goes.
    QSocketNotifier* notifier = nullptr;
    std::function<void(int)> receive;
    // The senders' values, newest first; a sender that finds it empty wakes
    // the receiving thread.
    std::atomic<Sent*> sent{nullptr};
    // Collected on the making thread and not yet given to `receive`.
    std::deque<int> ready;
    // Cleared by destroy() on another thread.
    std::atomic<bool> receiving{true};
    // How deep the making thread is in receiveAll(): `receive` may run an
    // event loop of its own, which receives again. The mailbox that another
    // thread destroyed meanwhile goes when the outermost call ends.
    int receiveDepth = 0;
    bool destroyRequested = false;
};

#endif

#ifndef LXTHREADMAILBOX_H
#define LXTHREADMAILBOX_H

#include "KalveraTurntableSDKGlobal.h"

#include <functional>

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
    /// Any thread, also from inside `receive` (a window that holds its mailbox
    /// as a member and is deleted on the last notice). Values not yet received
    /// are dropped, and `receive` is not called any more once the destructor
    /// has returned, unless the making thread is inside it right now: that
    /// call runs to its end, and the mailbox's pipe goes after it. On another
    /// thread than the making one the pipe goes from that thread's event loop
    /// (its watcher cannot leave a thread's event loop from outside). No
    /// thread may send any more.
    ~LxThreadMailbox();
    LxThreadMailbox(const LxThreadMailbox&) = delete;
    LxThreadMailbox& operator=(const LxThreadMailbox&) = delete;

    /// The same as `delete mailbox`; null is allowed.
    static void destroy(LxThreadMailbox* mailbox);

    /// Any thread, also the making one and from inside `receive`; never
    /// blocks and never calls `receive` itself.
    void send(int value);
    /// Whether the mailbox got its pipe; false when the system gave none (out
    /// of file descriptors), and every value sent is dropped.
    bool isValid() const;
    /// Drops the values sent so far and not yet received, also those of a
    /// batch that `receive` is being given right now. On the making thread.
    void dropPending();

private:
    // The pipe, the values and `receive`: they outlive the mailbox while its
    // thread is still receiving.
    class Box;
    Box* const box;
};

#endif

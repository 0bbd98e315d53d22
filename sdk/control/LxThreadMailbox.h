#ifndef LXTHREADMAILBOX_H
#define LXTHREADMAILBOX_H

#include "KalveraTurntableSDKGlobal.h"

#include <atomic>
#include <functional>

class QSocketNotifier;

// Hands ints from any thread to the thread that made the mailbox, where
// `receive` gets them from that thread's event loop, in the order sent. The
// hand-over is a pipe that the event loop watches: no Qt object or event
// crosses threads, and ThreadSanitizer sees the pipe as the synchronisation it
// is. The making thread needs a Qt event dispatcher.
class LX_SDK_AUTOTEST_EXPORT LxThreadMailbox {
public:
    explicit LxThreadMailbox(std::function<void(int)> receive);
    // On the making thread only (destroy() serves any thread). Values not yet
    // received are dropped. No thread may send any more.
    ~LxThreadMailbox();
    LxThreadMailbox(const LxThreadMailbox&) = delete;
    LxThreadMailbox& operator=(const LxThreadMailbox&) = delete;

    // Destroys `mailbox` from any thread. On another thread than the making
    // one it goes from that thread's event loop, which drops the values sent
    // before (the pipe's watcher cannot leave a thread's event loop from
    // outside); `receive` is not called any more once destroy() has
    // returned, unless its thread is inside it right now. No thread may send
    // any more.
    static void destroy(LxThreadMailbox* mailbox);

    // Any thread; never blocks and never calls `receive` itself. A value that
    // finds the pipe full (thousands unreceived), or no pipe because the
    // system gave none, is dropped.
    void send(int value);
    // Drops the values sent so far and not yet received. On the making thread.
    void dropPending();

private:
    // Reads what the pipe holds; gives each value to `deliver` until it
    // returns false.
    void readAll(const std::function<bool(int)>& deliver);
    void receiveAll();

    int readEnd = -1;
    int writeEnd = -1;
    // Owns both ends of the pipe and closes them when it goes.
    QSocketNotifier* notifier = nullptr;
    std::function<void(int)> receive;
    // Cleared by destroy() on another thread.
    std::atomic<bool> receiving{true};
};

#endif

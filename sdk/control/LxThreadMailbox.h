#ifndef LXTHREADMAILBOX_H
#define LXTHREADMAILBOX_H

#include "KalveraTurntableSDKGlobal.h"

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
    // Values not yet received are dropped. No thread may send any more. On
    // another thread than the making one, the pipe's watcher is handed to its
    // own thread to go there (it cannot leave a thread's event loop from
    // outside); `receive` is called no more, unless its thread is inside it
    // right now.
    ~LxThreadMailbox();
    LxThreadMailbox(const LxThreadMailbox&) = delete;
    LxThreadMailbox& operator=(const LxThreadMailbox&) = delete;

    // Any thread; never blocks and never calls `receive` itself. A value that
    // finds the pipe full (thousands unreceived), or no pipe because the
    // system gave none, is dropped.
    void send(int value);

private:
    void receiveAll();

    int readEnd = -1;
    int writeEnd = -1;
    // Owns both ends of the pipe and closes them when it goes.
    QSocketNotifier* notifier = nullptr;
    std::function<void(int)> receive;
};

#endif

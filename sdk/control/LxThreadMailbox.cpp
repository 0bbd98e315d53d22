#include "LxThreadMailbox.h"

#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

// The pipe's read end as the event loop watches it. It closes both ends only
// once it has stopped watching, on its own thread: a descriptor closed under a
// watch could come back as another file and be read as the pipe.
class PipeNotifier : public QSocketNotifier {
public:
    PipeNotifier(int readEnd, int writeEnd)
        : QSocketNotifier(readEnd, QSocketNotifier::Read)
        , writeEnd(writeEnd) {}
    ~PipeNotifier() override {
        setEnabled(false);
        close(static_cast<int>(socket()));
        close(writeEnd);
    }

private:
    const int writeEnd;
};

} // namespace

LxThreadMailbox::LxThreadMailbox(std::function<void(int)> receive)
    : receive(std::move(receive)) {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = new PipeNotifier(readEnd, writeEnd);
    QObject::connect(notifier, &QSocketNotifier::activated, [this] { receiveAll(); });
}

namespace {

// Sent by destroy() on another thread: the mailbox goes when its thread reads
// it. No value a caller sends is this one (they are small codes and counts).
constexpr int kDestroy = std::numeric_limits<int>::min();

} // namespace

LxThreadMailbox::~LxThreadMailbox() {
    delete notifier;
}

void LxThreadMailbox::destroy(LxThreadMailbox* mailbox) {
    if (!mailbox) {
        return;
    }
    if (!mailbox->notifier || mailbox->notifier->thread() == QThread::currentThread()) {
        delete mailbox;
        return;
    }
    // Through the pipe, which orders it after everything sent before and
    // which ThreadSanitizer sees.
    mailbox->receiving = false;
    mailbox->send(kDestroy);
}

void LxThreadMailbox::send(int value) {
    if (writeEnd == -1) {
        return;
    }
    // A write of an int is atomic on a pipe: values never interleave.
    while (write(writeEnd, &value, sizeof value) == -1 && errno == EINTR) {
    }
}

void LxThreadMailbox::dropPending() {
    readAll([](int) { return true; });
}

void LxThreadMailbox::receiveAll() {
    readAll([this](int value) {
        if (value == kDestroy) {
            // Its own watcher is calling: it goes once the call is over.
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
            delete this;
            return false;
        }
        if (receiving) {
            receive(value);
        }
        return true;
    });
}

void LxThreadMailbox::readAll(const std::function<bool(int)>& deliver) {
    if (readEnd == -1) {
        return;
    }
    // Whole ints only: every write was one, and the buffer holds whole ones.
    int values[64];
    for (;;) {
        const ssize_t bytes = read(readEnd, values, sizeof values);
        if (bytes <= 0) {
            if (bytes == -1 && errno == EINTR) {
                continue;
            }
            return;
        }
        for (ssize_t i = 0; i < bytes / static_cast<ssize_t>(sizeof(int)); ++i) {
            if (!deliver(values[i])) {
                return;
            }
        }
    }
}

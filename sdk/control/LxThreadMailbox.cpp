#include "LxThreadMailbox.h"

#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
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

LxThreadMailbox::~LxThreadMailbox() {
    if (!notifier) {
        return;
    }
    if (notifier->thread() == QThread::currentThread()) {
        delete notifier;
        return;
    }
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    notifier->deleteLater();
}

void LxThreadMailbox::send(int value) {
    if (writeEnd == -1) {
        return;
    }
    // A write of an int is atomic on a pipe: values never interleave.
    while (write(writeEnd, &value, sizeof value) == -1 && errno == EINTR) {
    }
}

void LxThreadMailbox::receiveAll() {
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
            receive(values[i]);
        }
    }
}

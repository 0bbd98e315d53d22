#include "NoticeChannel.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

NoticeChannel::NoticeChannel(QObject* parent)
    : QObject(parent) {
    int ends[2];
    // Non-blocking at the read end only: a full pipe (64 KiB of notices
    // nobody takes) holds the writer back rather than dropping a notice.
    if (pipe2(ends, O_CLOEXEC) != 0 || fcntl(ends[0], F_SETFL, O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "notice pipe");
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &NoticeChannel::takeNotices);
}

NoticeChannel::~NoticeChannel() {
    notifier.reset();
    close(readEnd);
    close(writeEnd);
}

void NoticeChannel::post() {
    const char notice = 1;
    while (write(writeEnd, &notice, 1) < 0 && errno == EINTR) {
    }
}

void NoticeChannel::discard() {
    char notices[64];
    ssize_t count;
    while ((count = read(readEnd, notices, sizeof notices)) > 0 || (count < 0 && errno == EINTR)) {
    }
}

void NoticeChannel::takeNotices() {
    char notices[64];
    ssize_t count;
    while ((count = read(readEnd, notices, sizeof notices)) > 0 || (count < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < count; ++i) {
            emit received();
        }
    }
}

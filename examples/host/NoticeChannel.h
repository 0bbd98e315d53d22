#ifndef NOTICECHANNEL_H
#define NOTICECHANNEL_H

#include <QObject>

#include <memory>

class QSocketNotifier;

// Brings notices from any thread to the thread that made the channel: the
// turntable reports the end of a move on its rotation thread, and the host
// takes its next step on its own. A pipe carries one byte per notice; the
// receiving event loop watches its read end, so nothing is shared but the
// pipe, which every thread checker sees as the hand-over it is.
class NoticeChannel : public QObject {
    Q_OBJECT

public:
    // Throws std::system_error when the pipe cannot be made.
    explicit NoticeChannel(QObject* parent = nullptr);
    ~NoticeChannel() override;

    // Any thread, also the receiving one. Notices are neither lost nor merged.
    void post();

    // Drops the notices posted so far that have not been received yet.
    void discard();

signals:
    // Once per posted notice, in the thread that made the channel.
    void received();

private:
    void takeNotices();

    int readEnd = -1;
    int writeEnd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
};

#endif

#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>
#include <vector>

// The messages of one Qt logging category while it lives: its own message
// handler takes the place of the one before and hands every message on to it.
// One at a time.
class LogCapture {
public:
    explicit LogCapture(const char* category);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The texts of the category's warnings so far.
    QStringList warnings() const;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text);

    const QString category;
    QtMessageHandler previous;
    mutable std::mutex mutex;
    QStringList captured;
};

#endif

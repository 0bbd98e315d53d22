#ifndef CAPTURECOMMAND_H
#define CAPTURECOMMAND_H

#include "EventOutput.h"

#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

class TerminationSignals;

// The --exec command of a shoot, run through /bin/sh -c at each capture while
// the table stands. It runs from the event loop, so that a signal is still
// noticed; the shoot waits for its end. With --json its standard output goes
// to standard error, to keep the events' lines apart.
class CaptureCommand {
public:
    // `command` with {index}, {count} and {angle} still in it. Once
    // `termination` has a signal, a failed run is not tried again: a
    // terminal's Ctrl-C reaches the command too, and no further picture may
    // be taken after it.
    CaptureCommand(QString command, int retries, bool json, EventOutput& output,
                   const TerminationSignals& termination);
    ~CaptureCommand();
    CaptureCommand(const CaptureCommand&) = delete;
    CaptureCommand& operator=(const CaptureCommand&) = delete;

    // Runs it for capture `index` of `count` at `angle` (text, as passed on),
    // again after a failure while retries are left, then calls `done` with
    // whether it succeeded, from the event loop.
    void start(int index, int count, const QString& angle, std::function<void(bool)> done);
    bool isRunning() const { return process != nullptr; }

private:
    void launch();
    void ended(bool succeeded, const QString& how);

    QString command;
    int retries;
    bool json;
    EventOutput& output;
    const TerminationSignals& termination;
    QString substituted;
    QProcessEnvironment environment;
    int attemptsLeft = 0;
    std::function<void(bool)> done;
    std::unique_ptr<QProcess> process;
};

#endif

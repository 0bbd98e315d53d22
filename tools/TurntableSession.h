#ifndef TURNTABLESESSION_H
#define TURNTABLESESSION_H

#include "EventOutput.h"

#include <LxKalveraTurntableControl.h>

#include <QString>
#include <QStringList>

#include <optional>

class TerminationSignals;

// The turntable a command drives: searched for, its model chosen by name or
// index, opened, and closed again when the session goes (the motor left as
// its settings ask). Every failure is told on the event output and turned
// into the program's status.
class TurntableSession {
public:
    explicit TurntableSession(EventOutput& output);
    ~TurntableSession();
    TurntableSession(const TurntableSession&) = delete;
    TurntableSession& operator=(const TurntableSession&) = delete;

    // Searches for the turntable and picks `modelName` (a model name in any
    // case, or its index): NoTurntable or BadInput, told, or nullopt.
    std::optional<int> find(const QString& modelName);
    // Custom has no counts per revolution of its own.
    bool modelNeedsCounts() const;
    // Opens the model found: CannotOpen, told, or nullopt; tells "opened".
    std::optional<int> open();
    // Where the table stands, in degrees clockwise from where it stood when
    // it was opened (or from the start of a shoot); none without counts per
    // revolution.
    std::optional<double> angleFromOrigin() const;
    // Runs the event loop until the move started ends, or a termination
    // signal stops it.
    void waitForMove(const TerminationSignals& termination);
    // After a move: whether it ended because the chip stopped answering
    // (unplugged); the controller's lastError() then says so, and the device
    // is closed.
    bool isChipLost() const;

    LxKalveraTurntableControl& control() { return turntable; }
    int modelIndex() const { return model; }
    QString modelName() const { return models.value(model); }

private:
    EventOutput& output;
    LxKalveraTurntableControl turntable;
    QStringList models;
    int model = -1;
};

#endif

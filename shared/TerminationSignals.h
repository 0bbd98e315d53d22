#ifndef TERMINATIONSIGNALS_H
#define TERMINATIONSIGNALS_H

// SIGINT, SIGTERM and SIGHUP as a byte on a pipe. A program that drives a
// turntable must stop the table, leave the motor as its settings ask and
// close the chip before it goes, and none of that may run inside a signal
// handler: the handler only writes to the pipe, and the program's own
// thread notices the pipe (a QSocketNotifier, or a poll beside its input)
// and ends in order. A second of these signals ends the process at once
// with 128 plus its number, for a user who will not wait.
//
// One at a time per process: the handlers are the process's. A signal that
// the program was started with ignored (nohup, a background job) stays
// ignored. The destructor puts the earlier handlers back.
class TerminationSignals {
public:
    // Installs the handlers; isValid() is false when the system gave no pipe,
    // and then the signals keep their default action.
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool isValid() const;
    // Readable from the first signal on, and stays readable: a program may
    // look at it from several places.
    int notificationDescriptor() const;
    // The first signal's number; 0 before any came.
    int received() const;
    // The conventional status of a program ended by the first signal, 128
    // plus its number; 0 before any came.
    int exitStatus() const;
};

#endif

#ifndef KALVERA_AUTOTESTS_SIGNALLEDPROGRAM_H
#define KALVERA_AUTOTESTS_SIGNALLEDPROGRAM_H

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <string>
#include <vector>

// When and how a running program is signalled: once `cue` is in its standard
// output (or its standard error, or the open of its chip is in the bus's
// report, for a program that prints nothing while it works), after `pause`,
// each of `signalNumbers`, `between` apart. With `toProcessGroup` the program
// leads a process group of its own (it runs under setsid) and the signals go
// to the whole group, as a terminal's Ctrl-C does: its children get them too.
struct Interruption {
    enum class Cue { Output, Errors, ChipOpened };
    Cue cueKind = Cue::Output;
    std::string cue;
    std::chrono::milliseconds pause{0};
    std::vector<int> signalNumbers;
    std::chrono::milliseconds between{0};
    bool toProcessGroup = false;
};

struct SignalledRun {
    bool cued = false;
    bool finished = false;
    // -1 for a program killed by a signal it did not handle.
    int exitCode = -1;
    // From the first signal to the end.
    std::chrono::milliseconds endedAfter{0};
    std::string output;
    std::string errors;
    // The simulated bus's report (FTDISIM_REPORT_FILE), a line an open or close.
    std::vector<std::string> report;
};

// The value after "`name`=" in a line of the bus's report; empty without one.
std::string reportValue(const std::string& line, const std::string& name);
// The output levels a line of the bus's report gives; ~0 without them.
unsigned reportLevels(const std::string& line);

// Checks that the program ended by its own hand, with the status of
// `signalNumber`, and closed the chip; the report's line of the close
// (empty when the chip never opened).
std::string expectOrderlyEnd(const SignalledRun& run, int signalNumber);
// Checks that the program ended at once on the second signal, `signalNumber`,
// without waiting for its stop, and so without closing the chip.
void expectEndAtTheSecondSignal(const SignalledRun& run, int signalNumber);

// Runs `program` on the simulated bus of `environment`, with `input` on its
// standard input (kept open), and signals it as `interruption` says. Waits
// generously for the cue and the end: a program that hangs is killed and
// reported as not finished.
SignalledRun runSignalled(const QString& program, const QStringList& arguments,
                          QProcessEnvironment environment, const std::string& input,
                          const Interruption& interruption);

#endif

#ifndef CONSOLECOMMANDLINE_H
#define CONSOLECOMMANDLINE_H

#include <ostream>

// What the command line asks of the dialogue.
struct ConsoleOptions {
    bool perEdgeStepWrites = false;
};

// The console program's command line:
//   KalveraTurntableTest [--backend NAME] [--per-edge-steps | --chip-clocked-steps]
// Chooses the USB backend before anything else and says which one is used
// when it was asked for or is not the default; the rest goes to `options`. A
// program status to end with when the dialogue must not run (--help, or an
// error told on `errors`); -1 otherwise.
int applyConsoleCommandLine(int argc, const char* const* argv, ConsoleOptions* options,
                            std::ostream& output, std::ostream& errors);

#endif

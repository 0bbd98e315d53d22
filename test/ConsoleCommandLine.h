#ifndef CONSOLECOMMANDLINE_H
#define CONSOLECOMMANDLINE_H

#include <ostream>

// The console program's command line:
//   KalveraTurntableTest [--backend NAME]
// Chooses the USB backend before anything else and says which one is used
// when it was asked for or is not the default. A program status to end with
// when the dialogue must not run (--help, or an error told on `errors`);
// -1 otherwise.
int applyConsoleCommandLine(int argc, const char* const* argv, std::ostream& output,
                            std::ostream& errors);

#endif

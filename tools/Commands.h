#ifndef COMMANDS_H
#define COMMANDS_H

#include "CommandLine.h"
#include "EventOutput.h"

class TerminationSignals;

// Each command runs on the application's thread, with its event loop, and
// returns the program's status (ExitStatus.h, or 128 plus a signal's number
// when `termination` ended it).
int runList(const ToolOptions& options, EventOutput& output);
int runCheck(const ToolOptions& options, EventOutput& output,
             const TerminationSignals& termination);
int runRotate(const ToolOptions& options, EventOutput& output,
              const TerminationSignals& termination);
int runShoot(const ToolOptions& options, EventOutput& output,
             const TerminationSignals& termination);

#endif

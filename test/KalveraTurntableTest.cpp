// KalveraTurntableTest: drives one turntable by hand from a text menu on the
// console, through the SDK's public controller only, as any client would.
#include "ConsoleCommandLine.h"
#include "ConsoleDialogue.h"
#include "ControllerTurntable.h"
#include "InterruptibleInput.h"
#include "TerminationSignals.h"

#include <chrono>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    ConsoleOptions options;
    const int status = applyConsoleCommandLine(argc, argv, &options, std::cout, std::cerr);
    if (status >= 0) {
        return status;
    }
    // Ctrl-C, a kill or a closed terminal ends the input: the dialogue stops
    // the table and closes it as at its exit, instead of leaving a DC table
    // turning on the chip's last byte.
    const TerminationSignals termination;
    InterruptibleInput input(STDIN_FILENO, termination.notificationDescriptor());
    std::istream in(&input);
    in.tie(&std::cout);
    ControllerTurntable table;
    // A look at a turning table every 10 ms: dots enough to see it turn.
    const int dialogueStatus = runConsoleDialogue(
        table, in, std::cout, std::chrono::milliseconds(10), options.perEdgeStepWrites,
        [&termination] { return termination.received() != 0; });
    return termination.received() != 0 ? termination.exitStatus() : dialogueStatus;
}

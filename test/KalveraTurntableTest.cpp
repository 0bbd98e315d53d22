// KalveraTurntableTest: drives one turntable by hand from a text menu on the
// console, through the SDK's public controller only, as any client would.
#include "ConsoleCommandLine.h"
#include "ConsoleDialogue.h"
#include "ControllerTurntable.h"

#include <chrono>
#include <iostream>

int main(int argc, char** argv) {
    ConsoleOptions options;
    const int status = applyConsoleCommandLine(argc, argv, &options, std::cout, std::cerr);
    if (status >= 0) {
        return status;
    }
    ControllerTurntable table;
    // A look at a turning table every 10 ms: dots enough to see it turn.
    return runConsoleDialogue(table, std::cin, std::cout, std::chrono::milliseconds(10),
                              options.perEdgeStepWrites);
}

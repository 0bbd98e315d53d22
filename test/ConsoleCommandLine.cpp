#include "ConsoleCommandLine.h"

#include "LxD2xxBackend.h"

#include <string>

namespace {

// Apart from the dialogue's own statuses 0 and 1; the dialogue ends with it too
// when the backend chosen cannot be loaded.
constexpr int kBadCommandLine = 2;

void printUsage(std::ostream& out, const std::string& backendGiven = {}) {
    out << "Usage: KalveraTurntableTest [--backend NAME] [--per-edge-steps]\n"
           "\n"
           "Drives one turntable by hand from a text menu; Ctrl-C stops the table,\n"
           "closes it and ends the program (a second Ctrl-C ends it at once).\n"
           "--backend  the USB backend that reaches the turntable; without it, the\n"
           "           environment variable "
        << LxD2xxBackend::environmentVariable()
        << " names it, else the default.\n"
           "           The backends:\n"
        << LxD2xxBackend::listing("             ")
        << "           In effect now: " << LxD2xxBackend::inEffect(backendGiven)
        << "\n"
           "--per-edge-steps\n"
           "           stepper moves as one USB write per edge, timed by this program,\n"
           "           instead of chip-clocked step trains, timed by the chip's own\n"
           "           clock (the default, once the open has measured that clock;\n"
           "           docs/chip-clocked-step-trains.md). --chip-clocked-steps asks\n"
           "           for the default\n"
           "--help     this text\n";
}

} // namespace

int applyConsoleCommandLine(int argc, const char* const* argv, ConsoleOptions* options,
                            std::ostream& output, std::ostream& errors) {
    bool help = false;
    std::string backendGiven;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
            continue;
        }
        if (argument == "--per-edge-steps" || argument == "--chip-clocked-steps") {
            options->perEdgeStepWrites = argument == "--per-edge-steps";
            continue;
        }
        if (argument != "--backend" || i + 1 >= argc) {
            errors << (argument == "--backend" ? "--backend needs a value."
                                               : "Unknown argument \"" + argument + "\".")
                   << "\n\n";
            printUsage(errors);
            return kBadCommandLine;
        }
        backendGiven = argv[++i];
    }
    if (help) {
        printUsage(output, backendGiven);
        return 0;
    }
    const std::string refusal = LxD2xxBackend::chooseGiven(backendGiven, "  ");
    if (!refusal.empty()) {
        errors << refusal;
        return kBadCommandLine;
    }
    output << LxD2xxBackend::notice(backendGiven);
    // A backend that does not load finds no turntable: the dialogue says why
    // and ends.
    return -1;
}

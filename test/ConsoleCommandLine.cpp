#include "ConsoleCommandLine.h"

#include "LxD2xxBackend.h"

#include <string>

namespace {

// Apart from the dialogue's own statuses 0 and 1.
constexpr int kBadCommandLine = 2;

void printUsage(std::ostream& out) {
    out << "Usage: KalveraTurntableTest [--backend NAME] [--per-edge-steps]\n"
           "\n"
           "Drives one turntable by hand from a text menu.\n"
           "--backend  the USB backend that reaches the turntable; without it, the\n"
           "           environment variable "
        << LxD2xxBackend::environmentVariable()
        << " names it, else the default.\n"
           "           The backends:\n"
        << LxD2xxBackend::listing("             ")
        << "           In effect now: " << LxD2xxBackend::chosen()
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
    bool backendGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            printUsage(output);
            return 0;
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
        const std::string name = argv[++i];
        if (!LxD2xxBackend::choose(name)) {
            errors << "Unknown USB backend \"" << name << "\". The backends:\n"
                   << LxD2xxBackend::listing("  ");
            return kBadCommandLine;
        }
        backendGiven = true;
    }
    const std::string backend = LxD2xxBackend::chosen();
    const std::string description = LxD2xxBackend::description(backend);
    if (description.empty()) {
        errors << "Unknown USB backend \"" << backend << "\" in "
               << LxD2xxBackend::environmentVariable() << ". The backends:\n"
               << LxD2xxBackend::listing("  ");
        return kBadCommandLine;
    }
    if (backendGiven || backend != LxD2xxBackend::defaultName()) {
        output << "USB backend: " << backend << " (" << description << ")\n";
    }
    // A backend that does not load finds no turntable: the dialogue says why.
    return -1;
}

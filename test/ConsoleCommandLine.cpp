#include "ConsoleCommandLine.h"

#include "LxD2xxBackend.h"

#include <string>

namespace {

// Apart from the dialogue's own statuses 0 and 1; the dialogue ends with it too
// when the backend chosen cannot be loaded.
constexpr int kBadCommandLine = 2;

// The backend that a run would use: `given` on the command line, else the
// environment's or the default; flagged when it is none of the backends, as
// the run would refuse it.
std::string backendInEffect(const std::string& given) {
    const std::string name = given.empty() ? LxD2xxBackend::chosen() : given;
    if (!LxD2xxBackend::description(name).empty()) {
        return name;
    }
    return "none: \"" + name + "\"" +
           (given.empty() ? " in " + LxD2xxBackend::environmentVariable() : std::string()) +
           " is not a USB backend, and a run would stop at once";
}

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
        << "           In effect now: " << backendInEffect(backendGiven)
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
    if (!backendGiven.empty() && !LxD2xxBackend::choose(backendGiven)) {
        errors << "Unknown USB backend \"" << backendGiven << "\". The backends:\n"
               << LxD2xxBackend::listing("  ");
        return kBadCommandLine;
    }
    const std::string backend = LxD2xxBackend::chosen();
    const std::string description = LxD2xxBackend::description(backend);
    if (description.empty()) {
        errors << "Unknown USB backend \"" << backend << "\" in "
               << LxD2xxBackend::environmentVariable() << ". The backends:\n"
               << LxD2xxBackend::listing("  ");
        return kBadCommandLine;
    }
    if (!backendGiven.empty() || backend != LxD2xxBackend::defaultName()) {
        output << "USB backend: " << backend << " (" << description << ")\n";
    }
    // A backend that does not load finds no turntable: the dialogue says why
    // and ends.
    return -1;
}

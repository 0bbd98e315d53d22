#include "CommandHelp.h"

#include "CommandOptions.h"

#include <iomanip>
#include <sstream>

const char* const kProgram = "kalvera-turntable";

namespace {

const CommandSpec kCommands[] = {
    {Command::List, "list", "list", "the USB chips attached, and whether each can be opened",
     "Lists the USB chips attached: index, description, serial number, whether it is a\n"
     "turntable's chip, and whether this program can open it, or why not with what to\n"
     "try next. Status 0 when a turntable chip can be opened.",
     "{\"event\":\"chip\"} with index, description, serial, turntable (true or false) and\n"
     "availability (free, open-elsewhere or not-permitted); \"error\" (code, text, status)."},
    {Command::Check, "check", "check [--model NAME] [--counts-per-revolution N] [--turn]",
     "a hardware check, safe with a product on the table",
     "Checks the hardware without moving it: the USB backend and its library, the chip\n"
     "found and opened, each set-up step of the open, the USB round trip, the chip's\n"
     "bit-bang clock and whether stepper moves are chip-clocked step trains, and the\n"
     "model's settings. Each line says ok, or the problem and the next thing to try;\n"
     "status 0 only when all is well. Safe with a product on the table: nothing turns\n"
     "and no camera fires, unless --turn asks for one short move each way.",
     "{\"event\":\"check\"} with item (backend, chip, set-up, open, usb, clock, settings,\n"
     "turn), ok (true or false), text and, for a problem, next; \"error\" (code, text,\n"
     "status)."},
    {Command::Rotate, "rotate",
     "rotate --model NAME (--degrees D | --counts N | --to ANGLE | --continuous)\n"
     "       [--ccw] [--speed S] [--lock] [--counts-per-revolution N]",
     "one move, or turning until a signal",
     "Makes one move and prints where the table stands. Clockwise unless --ccw.\n"
     "--continuous turns until SIGINT (Ctrl-C) or SIGTERM, which stop the table; the\n"
     "status is then 128+N, as for any command a signal ends.",
     "{\"event\":\"opened\"} (model, index, backend), \"moved\" (stopped: whether a signal\n"
     "stopped it; position: degrees clockwise from where the table stood), \"error\"\n"
     "(code, text, status)."},
    {Command::Shoot, "shoot",
     "shoot --model NAME (--frames N | --angles A,B,...) [--pre S] [--post S]\n"
     "      [--speed S] [--lock] [--shutter] [--exec CMD [--retries K]]\n"
     "      [--settings FILE] [--resume-from K [--from-angle A]] [--counts-per-revolution N]",
     "a whole 360-degree shoot, a command at each capture",
     "Runs a whole 360-degree shoot through the same plan as the SDK's settings view,\n"
     "clockwise from where the table stands (its start, angle 0): at each capture the\n"
     "table stands, waits the pre-capture delay (not before the first capture), takes\n"
     "the picture (the shutter cable with --shutter, the command of --exec), waits the\n"
     "post-capture delay and turns on to the next capture; after the last one it turns\n"
     "on to the start. No settings file is ever written. A signal stops the table and\n"
     "tells how far the shoot got and the options that resume it.",
     "{\"event\":\"opened\"} (model, index, backend), \"started\" (count, first), \"capture\"\n"
     "(index, count, angle, position: where the table stands), \"finished\" (captures,\n"
     "count, seconds), \"interrupted\" (captures: the last capture taken, count, next: the\n"
     "capture for --resume-from, position, and fromAngle when --from-angle is needed),\n"
     "\"error\" (code, text, status). The --exec command's output goes to standard error."},
};

} // namespace

const CommandSpec* findCommand(const std::string& name) {
    for (const CommandSpec& spec : kCommands) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

void printGeneralUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " COMMAND [OPTIONS]\n"
        << "\n"
           "Drives a Kalvera turntable from the command line and scripts, and checks its\n"
           "hardware.\n"
           "\n"
           "Commands:\n";
    for (const CommandSpec& spec : kCommands) {
        out << "  " << std::left << std::setw(8) << spec.name << spec.summary << '\n';
    }
    out << "\n"
        << kProgram << " COMMAND --help tells each command's options.\n"
        << "\n"
           "Exit status:\n"
           "  0      success\n"
           "  1      the move, the shoot (a failing --exec command included) or the check\n"
           "         failed\n"
           "  2      bad arguments or settings: nothing moved\n"
           "  3      no turntable found\n"
           "  4      the turntable cannot be opened\n"
           "  128+N  interrupted by signal N (130 for SIGINT, 143 for SIGTERM): the table\n"
           "         was stopped and closed, the motor left as the settings ask\n";
}

void printCommandUsage(std::ostream& out, const CommandSpec& command) {
    out << "Usage: " << kProgram << ' ' << command.synopsis << " [--backend NAME] [--json]\n\n"
        << command.description << "\n\nOptions:\n";
    for (const OptionSpec& option : optionSpecs()) {
        if ((option.commands & commandBit(command.command)) == 0) {
            continue;
        }
        out << "  " << option.name;
        if (*option.value != '\0') {
            out << ' ' << option.value;
        }
        out << "\n";
        std::istringstream lines(option.help);
        std::string line;
        while (std::getline(lines, line)) {
            out << "      " << line << '\n';
        }
    }
    out << "  --help\n      this text\n";
    out << "\nWith --json, each event is a line of one JSON object:\n" << command.events << '\n';
    out << "\nExit status: 0 success; 1 failed; 2 bad arguments or settings; 3 no turntable;\n"
           "4 cannot open; 128+N interrupted by signal N.\n";
}

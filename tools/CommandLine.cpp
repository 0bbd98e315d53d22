#include "CommandLine.h"

#include "ExitStatus.h"
#include "TurntableModels.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <sstream>

namespace {

constexpr int kMaxFrames = 65535;

const char* const kProgram = "kalvera-turntable";

unsigned bit(Command command) {
    return 1u << static_cast<unsigned>(command);
}
const unsigned kAllCommands =
    bit(Command::List) | bit(Command::Check) | bit(Command::Rotate) | bit(Command::Shoot);
const unsigned kMoving = bit(Command::Rotate) | bit(Command::Shoot);

struct CommandSpec {
    Command command;
    const char* name;
    const char* synopsis;
    // One line for the list of commands.
    const char* summary;
    const char* description;
    // The events that --json writes, for the help.
    const char* events;
};

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

struct Parser;

struct OptionSpec {
    const char* name;
    // Empty for a flag.
    const char* value;
    unsigned commands;
    const char* help;
    std::function<bool(Parser&, const std::string&)> apply;
};

struct Parser {
    ToolOptions* options;
    std::string problem;
    bool moveGiven = false;

    bool fail(const std::string& why) {
        problem = why;
        return false;
    }

    bool number(const std::string& name, const std::string& text, double* out) {
        errno = 0;
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) {
            return fail(name + " needs a number, not \"" + text + "\".");
        }
        *out = value;
        return true;
    }

    bool whole(const std::string& name, const std::string& text, long long low, long long high,
               long long* out) {
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
            return fail(name + " needs a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not \"" + text + "\".");
        }
        *out = value;
        return true;
    }

    bool seconds(const std::string& name, const std::string& text, std::optional<double>* out) {
        double value = 0.0;
        if (!number(name, text, &value)) {
            return false;
        }
        if (value < 0.0) {
            return fail(name + " needs seconds, 0 or more, not \"" + text + "\".");
        }
        *out = value;
        return true;
    }

    bool move(const std::string& name, MoveKind kind) {
        if (moveGiven) {
            return fail(name + ": rotate makes one move; give one of --degrees, --counts, --to "
                               "and --continuous.");
        }
        moveGiven = true;
        options->moveKind = kind;
        return true;
    }

    bool angleList(const std::string& text) {
        std::vector<double> angles;
        std::istringstream items(text);
        std::string item;
        while (std::getline(items, item, ',')) {
            double angle = 0.0;
            if (!number("--angles", item, &angle)) {
                return false;
            }
            if (angle <= 0.0 || angle >= 360.0) {
                return fail("--angles: " + item +
                            " is out of range: the angles are above 0, where the first capture "
                            "is taken, and below 360.");
            }
            if (!angles.empty() && angle <= angles.back()) {
                return fail("--angles: " + item + " does not rise above the angle before it.");
            }
            angles.push_back(angle);
        }
        if (angles.empty() || text.back() == ',') {
            return fail("--angles needs a list of angles such as 90,180,270.");
        }
        if (angles.size() >= static_cast<std::size_t>(kMaxFrames)) {
            return fail("--angles: a shoot takes at most 65535 captures.");
        }
        options->angles = angles;
        return true;
    }
};

const std::vector<OptionSpec>& optionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"--backend", "NAME", kAllCommands,
         "the USB backend that reaches the turntable (libftdi, simulator, vendor); without\n"
         "it, the environment variable KALVERA_TURNTABLE_BACKEND names it, else the default",
         [](Parser& p, const std::string& v) {
             p.options->backend = v;
             return true;
         }},
        {"--json", "", kAllCommands,
         "one JSON object per line on standard output for each event, for scripts",
         [](Parser& p, const std::string&) {
             p.options->json = true;
             return true;
         }},
        {"--model", "NAME", kMoving | bit(Command::Check),
         "the turntable model: Custom, Standard, Tessel M, Tessel L, Tessel XL, Facet,\n"
         "Quarry L or Quarry M (any case), or its index 0 to 7; check opens Custom without it",
         [](Parser& p, const std::string& v) {
             p.options->model = v;
             return true;
         }},
        {"--counts-per-revolution", "N", kMoving | bit(Command::Check),
         "the counts (motor steps) of one turn; Custom needs them, here or in --settings",
         [](Parser& p, const std::string& v) {
             long long n = 0;
             if (!p.whole("--counts-per-revolution", v, 1, 1000000000, &n)) {
                 return false;
             }
             p.options->countsPerRevolution = static_cast<unsigned int>(n);
             return true;
         }},
        {"--degrees", "D", bit(Command::Rotate),
         "turn D degrees (a negative D turns the other way)",
         [](Parser& p, const std::string& v) {
             if (!p.move("--degrees", MoveKind::Degrees) ||
                 !p.number("--degrees", v, &p.options->amount)) {
                 return false;
             }
             return p.options->amount != 0.0 || p.fail("--degrees needs an angle other than 0.");
         }},
        {"--counts", "N", bit(Command::Rotate),
         "turn N counts: motor steps, or the Standard table's counter pulses",
         [](Parser& p, const std::string& v) {
             long long n = 0;
             if (!p.move("--counts", MoveKind::Counts) ||
                 !p.whole("--counts", v, -1000000000, 1000000000, &n)) {
                 return false;
             }
             p.options->amount = static_cast<double>(n);
             return n != 0 || p.fail("--counts needs a count other than 0.");
         }},
        {"--to", "ANGLE", bit(Command::Rotate),
         "turn to ANGLE degrees (0 to 360) clockwise from where the table stood when this\n"
         "command started; a whole turn when it stands there",
         [](Parser& p, const std::string& v) {
             if (!p.move("--to", MoveKind::ToAngle) || !p.number("--to", v, &p.options->amount)) {
                 return false;
             }
             return (p.options->amount >= 0.0 && p.options->amount <= 360.0) ||
                    p.fail("--to needs an angle from 0 to 360, not \"" + v + "\".");
         }},
        {"--continuous", "", bit(Command::Rotate), "turn until SIGINT (Ctrl-C) or SIGTERM",
         [](Parser& p, const std::string&) {
             return p.move("--continuous", MoveKind::Continuous);
         }},
        {"--ccw", "", bit(Command::Rotate), "turn counterclockwise",
         [](Parser& p, const std::string&) {
             p.options->counterclockwise = true;
             return true;
         }},
        {"--speed", "S", kMoving,
         "the settings view's speed, 0 (slowest) to 10 (fastest, the default): a step time\n"
         "of 10 - S ms",
         [](Parser& p, const std::string& v) {
             long long s = 0;
             if (!p.whole("--speed", v, 0, kFastestSpeed, &s)) {
                 return false;
             }
             p.options->speed = static_cast<int>(s);
             return true;
         }},
        {"--lock", "", kMoving,
         "the motor holds the table when it stands, also after the program ends",
         [](Parser& p, const std::string&) {
             p.options->lockWhenIdle = true;
             return true;
         }},
        {"--frames", "N", bit(Command::Shoot), "N captures evenly round the turn, 1 to 65535",
         [](Parser& p, const std::string& v) {
             long long n = 0;
             if (!p.whole("--frames", v, 1, kMaxFrames, &n)) {
                 return false;
             }
             p.options->frames = static_cast<int>(n);
             return true;
         }},
        {"--angles", "A,B,...", bit(Command::Shoot),
         "custom angles: the first capture at 0, the next ones at A, B, ... degrees, rising\n"
         "and below 360 (the settings view's custom angles list)",
         [](Parser& p, const std::string& v) { return p.angleList(v); }},
        {"--pre", "S", bit(Command::Shoot),
         "the pre-capture delay: S seconds from the end of each move to the picture",
         [](Parser& p, const std::string& v) {
             return p.seconds("--pre", v, &p.options->preSeconds);
         }},
        {"--post", "S", bit(Command::Shoot),
         "the post-capture delay: S seconds from the picture to the next move",
         [](Parser& p, const std::string& v) {
             return p.seconds("--post", v, &p.options->postSeconds);
         }},
        {"--shutter", "", bit(Command::Shoot),
         "fire the camera on the turntable's shutter cable at each capture (about 1 s)",
         [](Parser& p, const std::string&) {
             p.options->shutter = true;
             return true;
         }},
        {"--exec", "CMD", bit(Command::Shoot),
         "run CMD through /bin/sh -c at each capture, after the pre-capture delay, the table\n"
         "standing until it ends; {index} (from 1), {count} and {angle} in CMD are replaced,\n"
         "and KALVERA_INDEX, KALVERA_COUNT and KALVERA_ANGLE are in its environment. A\n"
         "command that fails (or cannot start) stops the shoot, after --retries",
         [](Parser& p, const std::string& v) {
             p.options->exec = v;
             return !v.empty() || p.fail("--exec needs a command.");
         }},
        {"--retries", "K", bit(Command::Shoot),
         "run a failing --exec command up to K more times (default 0)",
         [](Parser& p, const std::string& v) {
             long long k = 0;
             if (!p.whole("--retries", v, 0, 1000, &k)) {
                 return false;
             }
             p.options->retries = static_cast<int>(k);
             return true;
         }},
        {"--settings", "FILE", bit(Command::Shoot),
         "take the shoot's settings from FILE, a settings file of the SDK's settings view\n"
         "(KalveraTurntable.json); the options given here win. Never written; a FILE that\n"
         "cannot be read is moved aside to FILE.unreadable, as the view does",
         [](Parser& p, const std::string& v) {
             p.options->settingsFile = v;
             return !v.empty() || p.fail("--settings needs a file.");
         }},
        {"--resume-from", "K", bit(Command::Shoot),
         "resume an interrupted shoot at capture K, with the same options: the table must\n"
         "stand where the interrupted shoot left it, which is capture K - 1's angle unless\n"
         "--from-angle says otherwise; it turns on to capture K, takes the captures from K\n"
         "on and ends its last move at the interrupted shoot's start",
         [](Parser& p, const std::string& v) {
             long long k = 0;
             if (!p.whole("--resume-from", v, 1, kMaxFrames, &k)) {
                 return false;
             }
             p.options->resumeFrom = static_cast<int>(k);
             return true;
         }},
        {"--from-angle", "A", bit(Command::Shoot),
         "with --resume-from: where the table stands, in degrees from the interrupted\n"
         "shoot's start, as its report says when it stopped during a move",
         [](Parser& p, const std::string& v) {
             double a = 0.0;
             if (!p.number("--from-angle", v, &a)) {
                 return false;
             }
             if (a < 0.0 || a >= 360.0) {
                 return p.fail("--from-angle needs an angle from 0 to below 360.");
             }
             p.options->fromAngle = a;
             return true;
         }},
        {"--turn", "", bit(Command::Check),
         "also make one short move each way (no camera fires); take the product off first",
         [](Parser& p, const std::string&) {
             p.options->turn = true;
             return true;
         }},
    };
    return specs;
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
        if ((option.commands & bit(command.command)) == 0) {
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

const CommandSpec* findCommand(const std::string& name) {
    for (const CommandSpec& spec : kCommands) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& option : optionSpecs()) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

int badCommandLine(std::ostream& errors, const std::string& why, const CommandSpec* command) {
    errors << kProgram << ": " << why << "\nTry: " << kProgram << ' '
           << (command ? std::string(command->name) + " " : std::string()) << "--help\n";
    return BadInput;
}

// What no single option can tell: the options of one command together.
std::string checkTogether(const ToolOptions& options, bool moveGiven) {
    if (options.command == Command::Rotate || options.command == Command::Shoot) {
        if (options.model.empty()) {
            return "--model is needed: which turntable model to open.";
        }
    }
    if (options.command == Command::Rotate && !moveGiven) {
        return "rotate needs one of --degrees, --counts, --to and --continuous.";
    }
    if (options.command == Command::Shoot) {
        if (options.frames && options.angles) {
            return "--frames and --angles both plan the captures: give one.";
        }
        if (!options.frames && !options.angles && options.settingsFile.empty()) {
            return "shoot needs --frames, --angles or a --settings file that plans the captures.";
        }
        const int planned = options.frames   ? *options.frames
                            : options.angles ? static_cast<int>(options.angles->size()) + 1
                                             : kMaxFrames;
        if (options.resumeFrom > planned) {
            return "--resume-from " + std::to_string(options.resumeFrom) + ": the shoot has " +
                   std::to_string(planned) + " captures.";
        }
        if (options.retries > 0 && options.exec.empty()) {
            return "--retries is for an --exec command.";
        }
    }
    return {};
}

} // namespace

std::optional<int> parseCommandLine(int argc, const char* const* argv, ToolOptions* options,
                                    std::ostream& output, std::ostream& errors) {
    if (argc < 2) {
        return badCommandLine(errors, "a command is needed.", nullptr);
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        printGeneralUsage(output);
        return Success;
    }
    if (first == "--version") {
        output << kProgram << ' ' << KALVERA_TOOL_VERSION << '\n';
        return Success;
    }
    const CommandSpec* command = findCommand(first);
    if (!command) {
        return badCommandLine(errors, "unknown command \"" + first + "\".", nullptr);
    }
    options->command = command->command;
    Parser parser{options, {}, false};
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            printCommandUsage(output, *command);
            return Success;
        }
        // --name=value as well as --name value.
        std::optional<std::string> attached;
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = argument.substr(equals + 1);
            argument.resize(equals);
        }
        const OptionSpec* option = findOption(argument);
        if (!option || (option->commands & bit(command->command)) == 0) {
            return badCommandLine(errors,
                                  (option ? argument + " is not an option of " + command->name
                                          : "unknown option \"" + argument + "\"") +
                                      ".",
                                  command);
        }
        std::string value;
        if (*option->value != '\0') {
            if (attached) {
                value = *attached;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return badCommandLine(errors, argument + " needs a value.", command);
            }
        } else if (attached) {
            return badCommandLine(errors, argument + " takes no value.", command);
        }
        if (!option->apply(parser, value)) {
            return badCommandLine(errors, parser.problem, command);
        }
    }
    const std::string problem = checkTogether(*options, parser.moveGiven);
    if (!problem.empty()) {
        return badCommandLine(errors, problem, command);
    }
    return std::nullopt;
}

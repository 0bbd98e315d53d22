#include "CommandOptions.h"

#include "TurntableModels.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

const unsigned kAllCommands = commandBit(Command::List) | commandBit(Command::Check) |
                              commandBit(Command::Rotate) | commandBit(Command::Shoot);
const unsigned kMoving = commandBit(Command::Rotate) | commandBit(Command::Shoot);

} // namespace

bool OptionReader::fail(const std::string& why) {
    problem = why;
    return false;
}

bool OptionReader::number(const std::string& name, const std::string& text, double* out) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) {
        return fail(name + " needs a number, not \"" + text + "\".");
    }
    *out = value;
    return true;
}

bool OptionReader::whole(const std::string& name, const std::string& text, long long low,
                         long long high, long long* out) {
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

bool OptionReader::seconds(const std::string& name, const std::string& text,
                           std::optional<double>* out) {
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

bool OptionReader::move(const std::string& name, MoveKind kind) {
    if (moveGiven) {
        return fail(name + ": rotate makes one move; give one of --degrees, --counts, --to "
                           "and --continuous.");
    }
    moveGiven = true;
    options->moveKind = kind;
    return true;
}

bool OptionReader::angleList(const std::string& text) {
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

const std::vector<OptionSpec>& optionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"--backend", "NAME", kAllCommands,
         "the USB backend that reaches the turntable (libftdi, simulator, vendor); without\n"
         "it, the environment variable KALVERA_TURNTABLE_BACKEND names it, else the default",
         [](OptionReader& p, const std::string& v) {
             p.options->backend = v;
             return true;
         }},
        {"--json", "", kAllCommands,
         "one JSON object per line on standard output for each event, for scripts",
         [](OptionReader& p, const std::string&) {
             p.options->json = true;
             return true;
         }},
        {"--model", "NAME", kMoving | commandBit(Command::Check),
         "the turntable model: Custom, Standard, Tessel M, Tessel L, Tessel XL, Facet,\n"
         "Quarry L or Quarry M (any case), or its index 0 to 7; check opens Custom without it",
         [](OptionReader& p, const std::string& v) {
             p.options->model = v;
             return true;
         }},
        {"--counts-per-revolution", "N", kMoving | commandBit(Command::Check),
         "the counts (motor steps) of one turn; Custom needs them, here or in --settings",
         [](OptionReader& p, const std::string& v) {
             long long n = 0;
             if (!p.whole("--counts-per-revolution", v, 1, 1000000000, &n)) {
                 return false;
             }
             p.options->countsPerRevolution = static_cast<unsigned int>(n);
             return true;
         }},
        {"--degrees", "D", commandBit(Command::Rotate),
         "turn D degrees (a negative D turns the other way)",
         [](OptionReader& p, const std::string& v) {
             if (!p.move("--degrees", MoveKind::Degrees) ||
                 !p.number("--degrees", v, &p.options->amount)) {
                 return false;
             }
             return p.options->amount != 0.0 || p.fail("--degrees needs an angle other than 0.");
         }},
        {"--counts", "N", commandBit(Command::Rotate),
         "turn N counts: motor steps, or the Standard table's counter pulses",
         [](OptionReader& p, const std::string& v) {
             long long n = 0;
             if (!p.move("--counts", MoveKind::Counts) ||
                 !p.whole("--counts", v, -1000000000, 1000000000, &n)) {
                 return false;
             }
             p.options->amount = static_cast<double>(n);
             return n != 0 || p.fail("--counts needs a count other than 0.");
         }},
        {"--to", "ANGLE", commandBit(Command::Rotate),
         "turn to ANGLE degrees (0 to 360) clockwise from where the table stood when this\n"
         "command started; a whole turn when it stands there",
         [](OptionReader& p, const std::string& v) {
             if (!p.move("--to", MoveKind::ToAngle) || !p.number("--to", v, &p.options->amount)) {
                 return false;
             }
             return (p.options->amount >= 0.0 && p.options->amount <= 360.0) ||
                    p.fail("--to needs an angle from 0 to 360, not \"" + v + "\".");
         }},
        {"--continuous", "", commandBit(Command::Rotate), "turn until SIGINT (Ctrl-C) or SIGTERM",
         [](OptionReader& p, const std::string&) {
             return p.move("--continuous", MoveKind::Continuous);
         }},
        {"--ccw", "", commandBit(Command::Rotate), "turn counterclockwise",
         [](OptionReader& p, const std::string&) {
             p.options->counterclockwise = true;
             return true;
         }},
        {"--speed", "S", kMoving,
         "the settings view's speed, 0 (slowest) to 10 (fastest, the default): a step time\n"
         "of 10 - S ms",
         [](OptionReader& p, const std::string& v) {
             long long s = 0;
             if (!p.whole("--speed", v, 0, kFastestSpeed, &s)) {
                 return false;
             }
             p.options->speed = static_cast<int>(s);
             return true;
         }},
        {"--lock", "", kMoving,
         "the motor holds the table when it stands, also after the program ends",
         [](OptionReader& p, const std::string&) {
             p.options->lockWhenIdle = true;
             return true;
         }},
        {"--frames", "N", commandBit(Command::Shoot),
         "N captures evenly round the turn, 1 to 65535",
         [](OptionReader& p, const std::string& v) {
             long long n = 0;
             if (!p.whole("--frames", v, 1, kMaxFrames, &n)) {
                 return false;
             }
             p.options->frames = static_cast<int>(n);
             return true;
         }},
        {"--angles", "A,B,...", commandBit(Command::Shoot),
         "custom angles: the first capture at 0, the next ones at A, B, ... degrees, rising\n"
         "and below 360 (the settings view's custom angles list)",
         [](OptionReader& p, const std::string& v) { return p.angleList(v); }},
        {"--pre", "S", commandBit(Command::Shoot),
         "the pre-capture delay: S seconds from the end of each move to the picture",
         [](OptionReader& p, const std::string& v) {
             return p.seconds("--pre", v, &p.options->preSeconds);
         }},
        {"--post", "S", commandBit(Command::Shoot),
         "the post-capture delay: S seconds from the picture to the next move",
         [](OptionReader& p, const std::string& v) {
             return p.seconds("--post", v, &p.options->postSeconds);
         }},
        {"--shutter", "", commandBit(Command::Shoot),
         "fire the camera on the turntable's shutter cable at each capture (about 1 s)",
         [](OptionReader& p, const std::string&) {
             p.options->shutter = true;
             return true;
         }},
        {"--exec", "CMD", commandBit(Command::Shoot),
         "run CMD through /bin/sh -c at each capture, after the pre-capture delay, the table\n"
         "standing until it ends; {index} (from 1), {count} and {angle} in CMD are replaced,\n"
         "and KALVERA_INDEX, KALVERA_COUNT and KALVERA_ANGLE are in its environment. A\n"
         "command that fails (or cannot start) stops the shoot, after --retries; one that\n"
         "Ctrl-C ends is not tried again, and the shoot resumes at its capture",
         [](OptionReader& p, const std::string& v) {
             p.options->exec = v;
             return !v.empty() || p.fail("--exec needs a command.");
         }},
        {"--retries", "K", commandBit(Command::Shoot),
         "run a failing --exec command up to K more times (default 0)",
         [](OptionReader& p, const std::string& v) {
             long long k = 0;
             if (!p.whole("--retries", v, 0, 1000, &k)) {
                 return false;
             }
             p.options->retries = static_cast<int>(k);
             return true;
         }},
        {"--settings", "FILE", commandBit(Command::Shoot),
         "take the shoot's settings from FILE, a settings file of the SDK's settings view\n"
         "(KalveraTurntable.json); the options given here win. Never written; a FILE that\n"
         "does not parse or holds no settings is moved aside to FILE.unreadable, as the view\n"
         "does, and one that is no regular file or cannot be opened is refused",
         [](OptionReader& p, const std::string& v) {
             p.options->settingsFile = v;
             return !v.empty() || p.fail("--settings needs a file.");
         }},
        {"--resume-from", "K", commandBit(Command::Shoot),
         "resume an interrupted shoot at capture K, with the same options: the table must\n"
         "stand where the interrupted shoot left it, which is capture K - 1's angle unless\n"
         "--from-angle says otherwise; it turns on to capture K, takes the captures from K\n"
         "on and ends its last move at the interrupted shoot's start",
         [](OptionReader& p, const std::string& v) {
             long long k = 0;
             if (!p.whole("--resume-from", v, 1, kMaxFrames, &k)) {
                 return false;
             }
             p.options->resumeFrom = static_cast<int>(k);
             return true;
         }},
        {"--from-angle", "A", commandBit(Command::Shoot),
         "with --resume-from: where the table stands, in degrees from the interrupted\n"
         "shoot's start, as its report says when it stopped during a move",
         [](OptionReader& p, const std::string& v) {
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
        {"--turn", "", commandBit(Command::Check),
         "also make one short move each way (no camera fires); take the product off first",
         [](OptionReader& p, const std::string&) {
             p.options->turn = true;
             return true;
         }},
    };
    return specs;
}

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& option : optionSpecs()) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

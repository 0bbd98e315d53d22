#include "CommandLine.h"

#include "CommandHelp.h"
#include "CommandOptions.h"
#include "ExitStatus.h"

namespace {

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
    OptionReader reader{options, {}, false};
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
        if (!option || (option->commands & commandBit(command->command)) == 0) {
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
        if (!option->apply(reader, value)) {
            return badCommandLine(errors, reader.problem, command);
        }
    }
    const std::string problem = checkTogether(*options, reader.moveGiven);
    if (!problem.empty()) {
        return badCommandLine(errors, problem, command);
    }
    return std::nullopt;
}

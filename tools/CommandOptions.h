#ifndef COMMANDOPTIONS_H
#define COMMANDOPTIONS_H

#include "CommandLine.h"

#include <functional>
#include <string>
#include <vector>

// The options of the commands: what each takes, for which commands, its help
// and how its value is read into ToolOptions.

// The most captures a shoot plans.
constexpr int kMaxFrames = 65535;

// A command's bit in OptionSpec::commands.
constexpr unsigned commandBit(Command command) {
    return 1u << static_cast<unsigned>(command);
}

// The options of a command line as they are read, and why one was refused.
struct OptionReader {
    ToolOptions* options;
    std::string problem;
    bool moveGiven = false;

    // Records `why` and returns false, for an option's apply().
    bool fail(const std::string& why);
    // A finite number, else fails naming option `name`.
    bool number(const std::string& name, const std::string& text, double* out);
    // A whole number from `low` to `high`, else fails naming option `name`.
    bool whole(const std::string& name, const std::string& text, long long low, long long high,
               long long* out);
    // Seconds, 0 or more.
    bool seconds(const std::string& name, const std::string& text, std::optional<double>* out);
    // The move of rotate, once only.
    bool move(const std::string& name, MoveKind kind);
    // --angles: rising, above 0 and below 360.
    bool angleList(const std::string& text);
};

struct OptionSpec {
    const char* name;
    // Empty for a flag.
    const char* value;
    // The commandBit()s of the commands that take it.
    unsigned commands;
    const char* help;
    std::function<bool(OptionReader&, const std::string&)> apply;
};

// Every option, in the order the help lists them.
const std::vector<OptionSpec>& optionSpecs();
// The option named `name` ("--model"); null for none.
const OptionSpec* findOption(const std::string& name);

#endif

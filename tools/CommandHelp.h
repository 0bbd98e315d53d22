#ifndef COMMANDHELP_H
#define COMMANDHELP_H

#include "CommandLine.h"

#include <ostream>
#include <string>

// The commands and the help texts that tell them; the manual page and the
// bash completion are made from these texts.

// The program's name, as its messages and help give it.
extern const char* const kProgram;

// A command as its help tells it.
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

// The command named `name` ("shoot"); null for none.
const CommandSpec* findCommand(const std::string& name);
// The help without a command: the commands and the exit statuses.
void printGeneralUsage(std::ostream& out);
// A command's help: its synopsis, description, options and JSON events.
void printCommandUsage(std::ostream& out, const CommandSpec& command);

#endif

#ifndef KALVERA_AUTOTESTS_CONSOLEPROGRAM_H
#define KALVERA_AUTOTESTS_CONSOLEPROGRAM_H

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <string>

// How the script ends. With the input kept open the program must end by the
// commands alone: an exit it missed shows as a hang, not as an end of input.
enum class InputEnd { KeptOpen, Closed };

struct ProgramResult {
    bool finished = false;
    int exitCode = -1; // -1 also after a crash
    std::string output;
    std::string errors;
};

// Runs `program` with `arguments` and `input` as its standard input and waits for its end,
// within a time generous enough for a sanitizer build on a busy machine: a
// program that hangs is killed and reported as not finished.
ProgramResult runProgram(const QString& program, const std::string& input, InputEnd end,
                         const QProcessEnvironment& environment, const QStringList& arguments = {});

#endif

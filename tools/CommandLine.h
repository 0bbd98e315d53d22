#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

enum class Command { List, Check, Rotate, Shoot };

// How rotate turns the table: one of these, with `amount` for the first three.
enum class MoveKind { Degrees, Counts, ToAngle, Continuous };

// What the command line asks for. Options left out stay empty: a settings
// file or the command's default fills them.
struct ToolOptions {
    Command command = Command::List;
    std::string backend;
    bool json = false;

    std::string model;
    std::optional<unsigned int> countsPerRevolution;
    std::optional<int> speed;
    std::optional<bool> lockWhenIdle;

    MoveKind moveKind = MoveKind::Degrees;
    double amount = 0.0;
    bool counterclockwise = false;

    std::optional<int> frames;
    // The settings view's custom angles: where the captures after the first
    // (taken where the table stands) are, rising, above 0 and below 360.
    std::optional<std::vector<double>> angles;
    std::optional<double> preSeconds;
    std::optional<double> postSeconds;
    std::optional<bool> shutter;
    std::string exec;
    int retries = 0;
    std::string settingsFile;
    int resumeFrom = 1;
    std::optional<double> fromAngle;

    bool turn = false;
};

// Parses `kalvera-turntable COMMAND [OPTIONS]` into `options`. Returns the
// status to end with at once (--help: 0 with the text on `output`; a bad
// command line: BadInput with the reason and the usage on `errors`), or
// std::nullopt when the command is to run.
std::optional<int> parseCommandLine(int argc, const char* const* argv, ToolOptions* options,
                                    std::ostream& output, std::ostream& errors);

#endif

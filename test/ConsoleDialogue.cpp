#include "ConsoleDialogue.h"

#include "ConsoleTurntable.h"
#include "LxAbstractPlugin.h"
#include "LxD2xxBackend.h"
#include "NextSteps.h"

#include <iterator>
#include <list>
#include <optional>
#include <string>
#include <thread>

namespace {

// As the command line ends for a backend it does not know.
constexpr int kNoBackend = 2;

enum class MenuChoice {
    CountRotation = 1,
    DegreesRotation,
    ContinuousRotation,
    AbsoluteAngleRotation,
    ShutterRelease,
    Exit
};

// One command of the main menu with what its prompts read.
struct MenuCommand {
    MenuChoice choice = MenuChoice::Exit;
    short counts = 0;
    double degrees = 0.0;
    double position = 0.0;
    bool setOriginHere = false;
    bool clockwise = true;
};

// Reads one whole number; nothing at the end of the input. A mistyped entry
// reads as the stream leaves it (0, or the nearest limit for a number out of
// range), and the rest of it is dropped, up to 4 characters: a short word and
// its line end, or the start of the next line when the word was shorter. A
// stream that an earlier unchecked read left failed reads nothing: the prompt
// gets `unread`, and only the dropping moves on.
std::optional<int> readNumber(std::istream& in, int unread = 0) {
    int number = unread;
    in >> number;
    if (in.fail()) {
        if (in.eof()) {
            return std::nullopt;
        }
        in.clear();
        in.ignore(4);
    }
    return number;
}

// The SDK's texts go out as UTF-8: wide and narrow output on one stream is
// not reliable.
std::string utf8(const QString& text) {
    return LxAbstractPlugin::wideToUtf8String(LxAbstractPlugin::nativeToWideString(text));
}

// Says why the search found no turntable, the SDK's reason first (no chip, a
// chip that cannot be had, a backend that does not load): the user acts on
// it. On a real chip's backend, the next steps follow. False when nothing
// can be found at all, as the backend did not load.
bool sayWhyNoTurntable(const ConsoleTurntable& table, std::ostream& out) {
    out << "No available connected turntable found." << std::endl;
    const std::string reason = utf8(table.lastError());
    if (!reason.empty()) {
        out << reason << (reason.back() == '\n' ? "" : "\n") << std::flush;
    }
    const LxAbstractPlugin::ErrorCode code = table.lastErrorCode();
    if (code == LxAbstractPlugin::ErrorCode::BackendNotLoadable) {
        return false;
    }
    const bool chipAttached = code == LxAbstractPlugin::ErrorCode::ChipUnopenable;
    if ((chipAttached || code == LxAbstractPlugin::ErrorCode::DeviceNotFound) &&
        LxD2xxBackend::chosen() != "simulator") {
        out << nextStepsWithoutTurntable(chipAttached) << std::flush;
    }
    return true;
}

// The chosen model's index, or nothing when the user (or the end of the input)
// chose the exit.
std::optional<unsigned long> chooseDevice(const std::list<std::string>& devices, std::istream& in,
                                          std::ostream& out) {
    const int deviceCount = static_cast<int>(devices.size());
    int index = 0;
    for (const std::string& device : devices) {
        out << "Press '" << index++ << "' to open " << device << std::endl;
    }
    out << "Press '" << -1 << "' to exit from test application" << std::endl;

    std::optional<int> choice;
    do {
        choice = readNumber(in);
    } while (choice && *choice >= deviceCount);
    if (!choice || *choice < 0) {
        return std::nullopt;
    }
    return static_cast<unsigned long>(*choice);
}

// A model without motor values ("Custom") cannot turn before these are known.
// These reads, like those of the move's values, take what the stream gives.
void askMotorValues(ConsoleTurntable& table, std::istream& in, std::ostream& out) {
    out << "*** Let's set some global settings: ***1" << std::endl;
    out << "Enter counts per revolution:" << std::endl;
    int countsPerRevolution = 72;
    in >> countsPerRevolution;
    table.SetCountsPerRevolution(static_cast<unsigned int>(countsPerRevolution));
    out << "Motor enable: 0 -- active low or 1 -- active high" << std::endl;
    int motorEnable = 0;
    in >> motorEnable;
    table.SetMotorEnableActiveHigh(motorEnable != 0);
    out << "Clockwise: 0 -- active low or 1 -- active high" << std::endl;
    int clockwiseLevel = 0;
    in >> clockwiseLevel;
    table.SetClockwiseActiveHigh(clockwiseLevel != 0);
}

void askIdleLockAndSpeed(ConsoleTurntable& table, std::istream& in, std::ostream& out) {
    out << "Lock when idle: 0 -- unlock or 1 -- lock" << std::endl;
    int lockWhenIdle = 0;
    in >> lockWhenIdle;
    table.SetLockMotorWhenIdle(lockWhenIdle != 0);
    out << "Enter speed:" << std::endl;
    int speed = 0;
    in >> speed;
    table.SetRotationSpeed(static_cast<unsigned int>(speed));
}

// Prints the menu and reads one command with its values; a count rotation
// turns `fullTurnCounts` unless the user enters another count.
MenuCommand readMenuCommand(std::istream& in, std::ostream& out, short fullTurnCounts) {
    out << "Main Menu" << std::endl;
    out << "1. Count Rotation" << std::endl;
    out << "2. Degrees Rotation" << std::endl;
    out << "3. Continuous Rotation" << std::endl;
    out << "4. Absolute Angle Rotation" << std::endl;
    out << "5. Shutter Release Trigger" << std::endl;
    out << "6. Exit Application" << std::endl;

    const MenuCommand exit;
    std::optional<int> choice;
    do {
        choice = readNumber(in);
        if (!choice) {
            return exit;
        }
    } while (*choice < static_cast<int>(MenuChoice::CountRotation) ||
             *choice > static_cast<int>(MenuChoice::Exit));

    MenuCommand command;
    command.choice = static_cast<MenuChoice>(*choice);
    command.counts = fullTurnCounts;
    switch (command.choice) {
    case MenuChoice::CountRotation:
        out << "Count Rotation Sub-Menu" << std::endl;
        out << "- Enter number of steps for a single rotation:" << std::endl;
        in >> command.counts;
        break;
    case MenuChoice::DegreesRotation:
        out << "Degrees Rotation Sub-Menu" << std::endl;
        out << "- Enter number of degrees for a single rotation:" << std::endl;
        in >> command.degrees;
        break;
    case MenuChoice::ContinuousRotation:
        break;
    case MenuChoice::AbsoluteAngleRotation: {
        out << "- Enter global position in degrees:" << std::endl;
        in >> command.position;
        out << "- Enter zero to set origin here" << std::endl;
        out << "- Enter any other number to use last set origin" << std::endl;
        const std::optional<int> origin = readNumber(in, 1);
        if (!origin) {
            return exit;
        }
        command.setOriginHere = *origin == 0;
        break;
    }
    case MenuChoice::ShutterRelease:
    case MenuChoice::Exit:
        return command;
    }

    out << "Enter direction: '1' for clockwise or '-1' for counterclockwise" << std::endl;
    for (;;) {
        const std::optional<int> direction = readNumber(in);
        if (!direction) {
            return exit;
        }
        if (*direction == 1 || *direction == -1) {
            command.clockwise = *direction == 1;
            return command;
        }
    }
}

// How the dialogue looks at a turning table.
struct TableWatch {
    std::chrono::milliseconds pause;
    const std::function<bool()>& interrupted;
};

// Prints a dot for each look at the table while it turns. The looks are
// spaced by `pause`: a poll without pause would take a processor and the
// driver's lock from the rotation thread, whose steps are timed by busy
// waiting. An interruption stops the table; false then.
bool waitForTheTable(ConsoleTurntable& table, std::ostream& out, const TableWatch& watch) {
    while (table.IsTurntableRotating()) {
        if (watch.interrupted && watch.interrupted()) {
            table.stopRotation();
            return false;
        }
        out << '.';
        std::this_thread::sleep_for(watch.pause);
    }
    return !(watch.interrupted && watch.interrupted());
}

// Carries out a command other than the exit; false when the input ended or
// an interruption came during it, so that nothing more can be asked.
bool carryOut(const MenuCommand& command, ConsoleTurntable& table, std::istream& in,
              std::ostream& out, const TableWatch& watch) {
    switch (command.choice) {
    case MenuChoice::CountRotation:
    case MenuChoice::DegreesRotation: {
        out << "Rotating the turntable." << std::flush;
        if (command.choice == MenuChoice::DegreesRotation) {
            table.SetRotationIncrementInDegrees(command.degrees);
            table.startRotation();
        } else if (command.counts != 0) {
            // To the SDK no counts is a continuous rotation, which this
            // wait would never see end: a count rotation of 0 turns nothing.
            table.SetRotationIncrementInCounts(command.counts);
            table.startRotation();
        }
        const bool waited = waitForTheTable(table, out, watch);
        out << "Turntable is stopped." << std::endl;
        return waited;
    }
    case MenuChoice::ContinuousRotation:
        table.SetRotationIncrementInCounts(0);
        if (table.startRotation()) {
            out << "Enter \"stop\" to stop the continous rotation" << std::endl;
            std::string word;
            while (in >> word && word != "stop") {
            }
            table.stopRotation();
            return static_cast<bool>(in);
        }
        return true;
    case MenuChoice::AbsoluteAngleRotation:
        if (command.setOriginHere) {
            table.SetRotationGlobalOriginHere();
        }
        table.SetRotationNextGlobalPositionInDegrees(command.position);
        table.startRotation();
        return waitForTheTable(table, out, watch);
    case MenuChoice::ShutterRelease:
        table.shutterReleaseCameraHardware();
        return true;
    case MenuChoice::Exit:
        break;
    }
    return false;
}

// For a stepper model: the chip's clock as the open measured it, and which
// way the steps are timed, as the table has it: a user checking a real chip
// with a logic analyser sees what to expect.
void sayHowStepsAreTimed(const ConsoleTurntable& table, std::ostream& out) {
    const int factor = table.chipByteClockFactor();
    const QString problem = table.chipByteClockProblem();
    if (factor == 0 && problem.isEmpty()) {
        return;
    }
    if (factor != 0) {
        out << "The chip clocks " << factor << " bit-bang bytes per baud period." << std::endl;
    } else {
        out << "The chip's bit-bang clock is not known: " << utf8(problem) << "." << std::endl;
    }
    out << (table.isChipClockedStepTrains() ? "Stepper moves run as chip-clocked step trains."
                                            : "Stepper moves run as per-edge writes.")
        << std::endl;
}

} // namespace

int runConsoleDialogue(ConsoleTurntable& table, std::istream& in, std::ostream& out,
                       std::chrono::milliseconds pollPause, bool perEdgeStepWrites,
                       const std::function<bool()>& interrupted) {
    const std::list<std::string> devices = table.availableDevices();
    if (devices.empty() && !sayWhyNoTurntable(table, out)) {
        return kNoBackend;
    }
    const std::optional<unsigned long> model = chooseDevice(devices, in, out);
    if (!model) {
        table.closeDevice();
        return 0;
    }

    out << "Trying to open " << *std::next(devices.begin(), static_cast<long>(*model)) << "..."
        << std::endl;
    if (!table.openDevice(*model)) {
        out << std::endl;
        out << "Turntable error ..." << std::endl;
        out << utf8(table.lastError()) << std::endl;
        return 1;
    }
    table.SetChipClockedStepTrains(!perEdgeStepWrites);
    sayHowStepsAreTimed(table, out);
    if (table.countsPerRevolution() == 0) {
        askMotorValues(table, in, out);
    }
    askIdleLockAndSpeed(table, in, out);

    for (;;) {
        const MenuCommand command =
            readMenuCommand(in, out, static_cast<short>(table.countsPerRevolution()));
        // Every command sets the direction, the default clockwise one too.
        if (command.clockwise) {
            table.SetRotationClockwise();
        } else {
            table.SetRotationCounterClockwise();
        }
        if (!carryOut(command, table, in, out, {pollPause, interrupted})) {
            break;
        }
    }
    table.closeDevice();
    return 0;
}

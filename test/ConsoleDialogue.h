#ifndef CONSOLEDIALOGUE_H
#define CONSOLEDIALOGUE_H

// The dialogue of KalveraTurntableTest on any pair of streams and any
// turntable that offers the controller's operations used here. The program
// runs it on the console with the SDK's controller; the fuzz target runs it
// on a stand-in table, so that no input ever starts a real move.
//
// The end of the input counts as the exit choice at every prompt that checks
// its read, so the dialogue never spins on a closed input.
#include "LxAbstractPlugin.h"

#include <chrono>
#include <istream>
#include <iterator>
#include <list>
#include <ostream>
#include <string>
#include <thread>

enum ENUM_ROTATION_MENU {
    ROTATION_MENU_NONE = 0,
    ROTATION_MENU_COUNT = 1,
    ROTATION_MENU_DEGREES = 2,
    ROTATION_MENU_CONTINUOUS = 3,
    ROTATION_MENU_ABSOLUTE_ANGLE = 4,
    ROTATION_MENU_SHUTTER_RELEASE = 5,
    ROTATION_MENU_EXIT = 6
};

// Drops the rest of a mistyped entry, up to 4 characters of it: a short word
// and its line end, or the start of the next line when the word was shorter.
// It takes the value just read only to name the read it follows: the stream's
// state is all it needs.
template <typename T>
void ignoreStdCinErrors(std::istream& in, const T&) {
    if (in.fail()) {
        in.clear();
        in.ignore(4);
    }
}

// Prints the menu and reads one command with its parameters; the dialogue
// makes every call on the turntable, which is passed along for that reason alone.
template <typename Turntable>
void showDeviceRotationMenu(std::istream& in, std::ostream& out, Turntable*,
                            ENUM_ROTATION_MENU& command, short& counts, double& degrees,
                            double& position, bool& setOriginHere, bool& exit, bool& clockwise) {
    exit = false;
    out << "Main Menu" << std::endl;
    out << "1. Count Rotation" << std::endl;
    out << "2. Degrees Rotation" << std::endl;
    out << "3. Continuous Rotation" << std::endl;
    out << "4. Absolute Angle Rotation" << std::endl;
    out << "5. Shutter Release Trigger" << std::endl;
    out << "6. Exit Application" << std::endl;

    int choice = 0;
    command = ROTATION_MENU_NONE;
    do {
        in >> choice;
        if (in.fail()) {
            if (in.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(in, choice);
        }
    } while (choice < ROTATION_MENU_COUNT || choice > ROTATION_MENU_EXIT);

    switch (choice) {
    case ROTATION_MENU_COUNT:
        command = ROTATION_MENU_COUNT;
        out << "Count Rotation Sub-Menu" << std::endl;
        out << "- Enter number of steps for a single rotation:" << std::endl;
        in >> counts;
        break;
    case ROTATION_MENU_DEGREES:
        command = ROTATION_MENU_DEGREES;
        out << "Degrees Rotation Sub-Menu" << std::endl;
        out << "- Enter number of degrees for a single rotation:" << std::endl;
        in >> degrees;
        break;
    case ROTATION_MENU_CONTINUOUS:
        command = ROTATION_MENU_CONTINUOUS;
        break;
    case ROTATION_MENU_ABSOLUTE_ANGLE: {
        command = ROTATION_MENU_ABSOLUTE_ANGLE;
        out << "- Enter global position in degrees:" << std::endl;
        in >> position;
        out << "- Enter zero to set origin here" << std::endl;
        out << "- Enter any other number to use last set origin" << std::endl;
        int origin = 1;
        in >> origin;
        if (in.fail()) {
            if (in.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(in, origin);
        }
        setOriginHere = origin == 0;
        break;
    }
    case ROTATION_MENU_SHUTTER_RELEASE:
        command = ROTATION_MENU_SHUTTER_RELEASE;
        return;
    default:
        command = ROTATION_MENU_EXIT;
        exit = true;
        return;
    }

    out << "Enter direction: '1' for clockwise or '-1' for counterclockwise" << std::endl;
    int direction = 0;
    for (;;) {
        in >> direction;
        if (in.fail()) {
            if (in.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(in, direction);
        }
        if (direction == 1 || direction == -1) {
            clockwise = direction == 1;
            return;
        }
    }
}

// Prints a dot for each look at the table while it turns. The looks are
// spaced by `pause`: a poll without pause would take a processor and the
// driver's lock from the rotation thread, whose steps are timed by busy waiting.
template <typename Turntable>
void waitForTheTable(Turntable& control, std::ostream& out, std::chrono::milliseconds pause) {
    while (control.IsTurntableRotating()) {
        out << '.';
        std::this_thread::sleep_for(pause);
    }
}

// The whole dialogue, from the list of models to the exit, with stepper moves
// as chip-clocked step trains when `chipClockedStepTrains`; returns the
// program's exit status: 0, or 1 when the chosen model does not open.
template <typename Turntable>
int runConsoleDialogue(Turntable& control, std::istream& in, std::ostream& out,
                       std::chrono::milliseconds pollPause, bool chipClockedStepTrains = false) {
    const std::list<std::string> devices = control.availableDevices();
    const int deviceCount = static_cast<int>(devices.size());

    if (devices.empty()) {
        out << "No available connected turntable found." << std::endl;
        // The SDK's reason (no chip, a chip that cannot be had, a backend
        // that does not load) is what the user can act on.
        const std::string reason = LxAbstractPlugin::wideToUtf8String(
            LxAbstractPlugin::nativeToWideString(control.lastError()));
        if (!reason.empty()) {
            out << reason << (reason.back() == '\n' ? "" : "\n") << std::flush;
        }
    }
    int index = 0;
    for (const std::string& device : devices) {
        out << "Press '" << index++ << "' to open " << device << std::endl;
    }
    out << "Press '" << -1 << "' to exit from test application" << std::endl;

    int choice = deviceCount + 1;
    do {
        in >> choice;
        if (in.fail()) {
            if (in.eof()) {
                choice = -1;
                break;
            }
            ignoreStdCinErrors(in, choice);
        }
    } while (choice >= deviceCount);
    if (choice < 0) {
        control.closeDevice();
        return 0;
    }

    const std::string& device = *std::next(devices.begin(), choice);
    // The model name is narrow text already; only this line's literals are wide.
    out << "Trying to open " << device << "..." << std::endl;
    bool opened = false;
    control.openDevice(static_cast<unsigned long>(choice), &opened);
    if (!opened) {
        out << std::endl;
        out << "Turntable error ..." << std::endl;
        // Wide text goes out converted: wide and narrow output on one stream
        // is not reliable.
        out << LxAbstractPlugin::wideToUtf8String(
                   LxAbstractPlugin::nativeToWideString(control.lastError()))
            << std::endl;
        return 1;
    }
    control.SetChipClockedStepTrains(chipClockedStepTrains);
    // Said only when on, as the table has it: a user checking the mode with a
    // logic analyser sees that it took.
    if (control.isChipClockedStepTrains()) {
        out << "Stepper moves run as chip-clocked step trains." << std::endl;
    }

    // A model without motor values ("Custom") cannot turn before these are known.
    if (control.countsPerRevolution() == 0) {
        out << "*** Let's set some global settings: ***1" << std::endl;
        out << "Enter counts per revolution:" << std::endl;
        int countsPerRevolution = 72;
        in >> countsPerRevolution;
        control.SetCountsPerRevolution(static_cast<unsigned int>(countsPerRevolution));
        out << "Motor enable: 0 -- active low or 1 -- active high" << std::endl;
        int motorEnable = 0;
        in >> motorEnable;
        control.SetMotorEnableActiveHigh(motorEnable != 0);
        out << "Clockwise: 0 -- active low or 1 -- active high" << std::endl;
        int clockwiseLevel = 0;
        in >> clockwiseLevel;
        control.SetClockwiseActiveHigh(clockwiseLevel != 0);
    }
    out << "Lock when idle: 0 -- unlock or 1 -- lock" << std::endl;
    int lockWhenIdle = 0;
    in >> lockWhenIdle;
    control.SetLockMotorWhenIdle(lockWhenIdle != 0);
    out << "Enter speed:" << std::endl;
    int speed = 0;
    in >> speed;
    control.SetRotationSpeed(static_cast<unsigned int>(speed));

    ENUM_ROTATION_MENU command = ROTATION_MENU_NONE;
    short counts = 0;
    double degrees = 0.0;
    double position = 0.0;
    bool setOriginHere = false;
    bool exit = false;
    bool clockwise = true;
    do {
        clockwise = true;
        degrees = 0.0;
        position = 0.0;
        setOriginHere = false;
        exit = false;
        // A full turn unless the user enters another count.
        counts = static_cast<short>(control.countsPerRevolution());
        showDeviceRotationMenu(in, out, &control, command, counts, degrees, position, setOriginHere,
                               exit, clockwise);
        if (clockwise) {
            control.SetRotationClockwise();
        } else {
            control.SetRotationCounterClockwise();
        }

        switch (command) {
        case ROTATION_MENU_COUNT:
        case ROTATION_MENU_DEGREES:
            out << "Rotating the turntable." << std::flush;
            if (command == ROTATION_MENU_DEGREES) {
                control.SetRotationIncrementInDegrees(degrees);
                control.startRotation();
            } else if (counts != 0) {
                // To the SDK no counts is a continuous rotation, which this
                // wait would never see end: a count rotation of 0 turns nothing.
                control.SetRotationIncrementInCounts(counts);
                control.startRotation();
            }
            waitForTheTable(control, out, pollPause);
            out << "Turntable is stopped." << std::endl;
            break;
        case ROTATION_MENU_CONTINUOUS:
            control.SetRotationIncrementInCounts(0);
            if (control.startRotation()) {
                out << "Enter \"stop\" to stop the continous rotation" << std::endl;
                std::string word;
                while (in >> word && word != "stop") {
                }
                control.stopRotation();
                // Input ended before "stop": nothing more can be asked.
                exit = !in;
            }
            break;
        case ROTATION_MENU_ABSOLUTE_ANGLE:
            if (setOriginHere) {
                control.SetRotationGlobalOriginHere();
            }
            control.SetRotationNextGlobalPositionInDegrees(position);
            control.startRotation();
            waitForTheTable(control, out, pollPause);
            break;
        case ROTATION_MENU_SHUTTER_RELEASE:
            control.shutterReleaseCameraHardware();
            break;
        case ROTATION_MENU_NONE:
        case ROTATION_MENU_EXIT:
            break;
        }
    } while (command != ROTATION_MENU_EXIT && !exit);

    control.closeDevice();
    return 0;
}

#endif

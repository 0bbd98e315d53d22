// KalveraTurntableTest: drives one turntable by hand from a text menu on the
// console, through the SDK's public controller only, as any client would.
//
// The end of standard input counts as the exit choice at every prompt that
// checks its read, so the program never spins on a closed input.
#include "LxKalveraTurntableControl.h"

#include <chrono>
#include <iostream>
#include <iterator>
#include <list>
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
static void ignoreStdCinErrors(const T&) {
    if (std::cin.fail()) {
        std::cin.clear();
        std::cin.ignore(4);
    }
}

// Prints the menu and reads one command with its parameters; main makes every
// call on the controller, which is passed along for that reason alone.
static void showDeviceRotationMenu(LxKalveraTurntableControl*, ENUM_ROTATION_MENU& command,
                                   short& counts, double& degrees, double& position,
                                   bool& setOriginHere, bool& exit, bool& clockwise) {
    exit = false;
    std::cout << "Main Menu" << std::endl;
    std::cout << "1. Count Rotation" << std::endl;
    std::cout << "2. Degrees Rotation" << std::endl;
    std::cout << "3. Continuous Rotation" << std::endl;
    std::cout << "4. Absolute Angle Rotation" << std::endl;
    std::cout << "5. Shutter Release Trigger" << std::endl;
    std::cout << "6. Exit Application" << std::endl;

    int choice = 0;
    command = ROTATION_MENU_NONE;
    do {
        std::cin >> choice;
        if (std::cin.fail()) {
            if (std::cin.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(choice);
        }
    } while (choice < ROTATION_MENU_COUNT || choice > ROTATION_MENU_EXIT);

    switch (choice) {
    case ROTATION_MENU_COUNT:
        command = ROTATION_MENU_COUNT;
        std::cout << "Count Rotation Sub-Menu" << std::endl;
        std::cout << "- Enter number of steps for a single rotation:" << std::endl;
        std::cin >> counts;
        break;
    case ROTATION_MENU_DEGREES:
        command = ROTATION_MENU_DEGREES;
        std::cout << "Degrees Rotation Sub-Menu" << std::endl;
        std::cout << "- Enter number of degrees for a single rotation:" << std::endl;
        std::cin >> degrees;
        break;
    case ROTATION_MENU_CONTINUOUS:
        command = ROTATION_MENU_CONTINUOUS;
        break;
    case ROTATION_MENU_ABSOLUTE_ANGLE: {
        command = ROTATION_MENU_ABSOLUTE_ANGLE;
        std::cout << "- Enter global position in degrees:" << std::endl;
        std::cin >> position;
        std::cout << "- Enter zero to set origin here" << std::endl;
        std::cout << "- Enter any other number to use last set origin" << std::endl;
        int origin = 1;
        std::cin >> origin;
        if (std::cin.fail()) {
            if (std::cin.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(origin);
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

    std::cout << "Enter direction: '1' for clockwise or '-1' for counterclockwise" << std::endl;
    int direction = 0;
    for (;;) {
        std::cin >> direction;
        if (std::cin.fail()) {
            if (std::cin.eof()) {
                command = ROTATION_MENU_EXIT;
                exit = true;
                return;
            }
            ignoreStdCinErrors(direction);
        }
        if (direction == 1 || direction == -1) {
            clockwise = direction == 1;
            return;
        }
    }
}

// Prints a dot for each look at the table while it turns. The looks are
// spaced: a poll without pause would take a processor and the driver's lock
// from the rotation thread, whose steps are timed by busy waiting.
static void waitForTheTable(LxKalveraTurntableControl& control) {
    while (control.IsTurntableRotating()) {
        std::cout << '.';
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int main() {
    LxKalveraTurntableControl control;
    const std::list<std::string> devices = control.availableDevices();
    const int deviceCount = static_cast<int>(devices.size());

    if (devices.empty()) {
        std::cout << "No available connected turntable found." << std::endl;
    }
    int index = 0;
    for (const std::string& device : devices) {
        std::cout << "Press '" << index++ << "' to open " << device << std::endl;
    }
    std::cout << "Press '" << -1 << "' to exit from test application" << std::endl;

    int choice = deviceCount + 1;
    do {
        std::cin >> choice;
        if (std::cin.fail()) {
            if (std::cin.eof()) {
                choice = -1;
                break;
            }
            ignoreStdCinErrors(choice);
        }
    } while (choice >= deviceCount);
    if (choice < 0) {
        control.closeDevice();
        return 0;
    }

    const std::string& device = *std::next(devices.begin(), choice);
    // The model name is narrow text already; only this line's literals are wide.
    std::cout << "Trying to open " << device << "..." << std::endl;
    bool opened = false;
    control.openDevice(static_cast<unsigned long>(choice), &opened);
    if (!opened) {
        std::cout << std::endl;
        std::cout << "Turntable error ..." << std::endl;
        // Wide text goes out converted: wide and narrow output on one stream
        // is not reliable.
        std::cout << LxAbstractPlugin::wideToUtf8String(
                         LxAbstractPlugin::nativeToWideString(control.lastError()))
                  << std::endl;
        return 1;
    }

    // A model without motor values ("Custom") cannot turn before these are known.
    if (control.countsPerRevolution() == 0) {
        std::cout << "*** Let's set some global settings: ***1" << std::endl;
        std::cout << "Enter counts per revolution:" << std::endl;
        int countsPerRevolution = 72;
        std::cin >> countsPerRevolution;
        control.SetCountsPerRevolution(static_cast<unsigned int>(countsPerRevolution));
        std::cout << "Motor enable: 0 -- active low or 1 -- active high" << std::endl;
        int motorEnable = 0;
        std::cin >> motorEnable;
        control.SetMotorEnableActiveHigh(motorEnable != 0);
        std::cout << "Clockwise: 0 -- active low or 1 -- active high" << std::endl;
        int clockwiseLevel = 0;
        std::cin >> clockwiseLevel;
        control.SetClockwiseActiveHigh(clockwiseLevel != 0);
    }
    std::cout << "Lock when idle: 0 -- unlock or 1 -- lock" << std::endl;
    int lockWhenIdle = 0;
    std::cin >> lockWhenIdle;
    control.SetLockMotorWhenIdle(lockWhenIdle != 0);
    std::cout << "Enter speed:" << std::endl;
    int speed = 0;
    std::cin >> speed;
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
        showDeviceRotationMenu(&control, command, counts, degrees, position, setOriginHere, exit,
                               clockwise);
        if (clockwise) {
            control.SetRotationClockwise();
        } else {
            control.SetRotationCounterClockwise();
        }

        switch (command) {
        case ROTATION_MENU_COUNT:
        case ROTATION_MENU_DEGREES:
            std::cout << "Rotating the turntable." << std::flush;
            if (command == ROTATION_MENU_DEGREES) {
                control.SetRotationIncrementInDegrees(degrees);
                control.startRotation();
            } else if (counts != 0) {
                // To the SDK no counts is a continuous rotation, which this
                // wait would never see end: a count rotation of 0 turns nothing.
                control.SetRotationIncrementInCounts(counts);
                control.startRotation();
            }
            waitForTheTable(control);
            std::cout << "Turntable is stopped." << std::endl;
            break;
        case ROTATION_MENU_CONTINUOUS:
            control.SetRotationIncrementInCounts(0);
            if (control.startRotation()) {
                std::cout << "Enter \"stop\" to stop the continous rotation" << std::endl;
                std::string word;
                while (std::cin >> word && word != "stop") {
                }
                control.stopRotation();
                // Input ended before "stop": nothing more can be asked.
                exit = !std::cin;
            }
            break;
        case ROTATION_MENU_ABSOLUTE_ANGLE:
            if (setOriginHere) {
                control.SetRotationGlobalOriginHere();
            }
            control.SetRotationNextGlobalPositionInDegrees(position);
            control.startRotation();
            waitForTheTable(control);
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

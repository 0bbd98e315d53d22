#include "NextSteps.h"

#include <fstream>

namespace {

constexpr const char* kRuleName = "60-kalvera-turntable.rules";

std::string udevRuleStep(const std::vector<std::string>& rulePlaces) {
    for (const std::string& place : rulePlaces) {
        if (std::ifstream(place).good()) {
            return "- the udev rule is installed as " + place +
                   "; if it came after the turntable, run: sudo udevadm control --reload-rules\n";
        }
    }
    return std::string("- the udev rule is not installed: install the package "
                       "libkalveraturntablesdk-backends, or from the SDK's source run: "
                       "sudo install -m 644 packaging/udev/") +
           kRuleName + " /etc/udev/rules.d/\n";
}

} // namespace

std::vector<std::string> udevRulePlaces() {
    return {std::string("/lib/udev/rules.d/") + kRuleName,
            std::string("/etc/udev/rules.d/") + kRuleName};
}

std::string nextStepsWithoutTurntable(bool chipAttached,
                                      const std::vector<std::string>& rulePlaces) {
    std::string steps = "\nNext steps on Linux, which needs no driver for the chip:\n";
    if (chipAttached) {
        steps += udevRuleStep(rulePlaces) +
                 "- the rule lets in the user logged in at the machine's own seat, and members "
                 "of the group plugdev: sudo adduser $USER plugdev, then log in again\n";
    }
    steps += "- unplug the turntable's USB cable and plug it in again\n"
             "- to try this program without a turntable: --backend simulator\n";
    return steps;
}

#ifndef LXTURNTABLEMODELS_H
#define LXTURNTABLEMODELS_H

#include <array>
#include <optional>

// One turntable model: its name, its motor, and the motor settings that opening
// it applies over the driver's defaults (an empty value keeps the default).
struct LxTurntableModel {
    const char* name;
    bool dcMotor;
    std::optional<unsigned int> countsPerRevolution;
    std::optional<bool> lockMotorWhenIdle;
    std::optional<bool> motorEnableActiveHigh;
    std::optional<bool> clockwiseActiveHigh;
};

// The turntable models, by model index. "Custom" takes its motor settings from
// the user; "Standard" is the one DC-motor turntable.
inline constexpr std::array<LxTurntableModel, 8> turntableModels{{
    {"Custom", false, {}, {}, {}, {}},
    {"Standard", true, 72u, true, {}, {}},
    {"Tessel M", false, 19520u, false, true, false},
    {"Tessel L", false, 12062u, false, true, false},
    {"Tessel XL", false, 11200u, false, true, true},
    {"Facet", false, 6400u, false, true, false},
    {"Quarry L", false, 11520u, false, true, false},
    {"Quarry M", false, 8220u, false, true, false},
}};

inline constexpr unsigned long CUSTOM_MODEL_INDEX = 0;
inline constexpr unsigned long STANDARD_MODEL_INDEX = 1;

// The text by which the turntable's USB chip is recognised in its description.
inline constexpr const char* TURNTABLE_CHIP_SEARCH_TEXT = "245R";

#endif

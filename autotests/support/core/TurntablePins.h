#ifndef TURNTABLEPINS_H
#define TURNTABLEPINS_H

#include <cstdint>

// The chip's pins as the turntables are wired. The tests keep their own copy,
// deliberately not taken from the drivers, whose constants are part of what
// the tests check.
namespace turntablepins {

// Stepper turntables: every pin an output.
constexpr std::uint8_t kStepperMask = 0xFF;
constexpr std::uint8_t kEnable = 0x01;
constexpr std::uint8_t kDirection = 0x02;
constexpr std::uint8_t kStep = 0x04;
constexpr std::uint8_t kAuxiliary = 0x08;
constexpr std::uint8_t kFocus = 0x10;
constexpr std::uint8_t kRelease = 0x20;
constexpr std::uint8_t kShutter = kFocus | kRelease;
constexpr std::uint8_t kUnused = 0xC0;

// The DC turntable: the stopped line is the one input.
constexpr std::uint8_t kDcMask = 0xEF;
constexpr std::uint8_t kNibble = 0x0F;
constexpr std::uint8_t kStopped = 0x10;
constexpr std::uint8_t kStart = 0x20;
constexpr std::uint8_t kContinuous = 0x40;
constexpr std::uint8_t kLoad = 0x80;
// The one-count pattern the driver leaves loaded when the table is idle.
constexpr std::uint8_t kIdleNibble = 0x0E;

} // namespace turntablepins

#endif

#ifndef TURNTABLEMODELS_H
#define TURNTABLEMODELS_H

// The SDK's models by index, as openDevice() and the settings view number
// them; the tool names them only where a model is handled apart.
constexpr int kCustomModel = 0;   // a stepper table whose counts the user gives
constexpr int kStandardModel = 1; // the DC table: no step trains

// The settings view's speed scale, 0 (slowest) to kFastestSpeed, the
// default; a speed S is a step time of kFastestSpeed - S milliseconds.
constexpr int kFastestSpeed = 10;

constexpr unsigned int stepTimeMs(int speed) {
    return static_cast<unsigned int>(kFastestSpeed - speed);
}

#endif

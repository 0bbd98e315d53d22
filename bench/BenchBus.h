#ifndef BENCHBUS_H
#define BENCHBUS_H

// The two buses every figure is measured on: the ideal one the tests run on,
// and one with a real FT245R's full-speed USB transfers and clocked output.
#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>

#include <array>

struct BenchBus {
    const char* name;
    ftdisim::BusTiming timing;
};

inline const std::array<BenchBus, 2> kBenchBuses = {{
    {"ideal", ftdisim::BusTiming{}},
    {"full-speed", ftdisim::BusTiming::fullSpeed()},
}};

// The bus's start state, on the given bus.
inline void resetBus(const BenchBus& bus) {
    ftdisim::Bus::instance().reset();
    ftdisim::Bus::instance().setTiming(bus.timing);
}

#endif

#ifndef BENCHBUS_H
#define BENCHBUS_H

// The ways every figure is measured: the ideal bus the tests run on, one
// with a real FT245R's full-speed USB transfers and clocked output, and that
// bus again with the stepper's chip-clocked step trains.
#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>

#include <array>
#include <cstdio>
#include <cstring>

struct BenchBus {
    const char* name;
    ftdisim::BusTiming timing;
    bool chipClocked;
};

inline const std::array<BenchBus, 3> kBenchBuses = {{
    {"ideal", ftdisim::BusTiming{}, false},
    {"full-speed", ftdisim::BusTiming::fullSpeed(), false},
    {"full-speed, chip-clocked", ftdisim::BusTiming::fullSpeed(), true},
}};

// The bus's start state, on the given bus.
inline void resetBus(const BenchBus& bus) {
    ftdisim::Bus::instance().reset();
    ftdisim::Bus::instance().setTiming(bus.timing);
}

// The two header lines of a table with a group of columns per bus: the buses'
// names above `columns`, each group after the row labels' header `labels`.
inline void printBusHeader(const char* labels, const char* columns) {
    const int width = static_cast<int>(std::strlen(columns));
    std::printf("%*s", static_cast<int>(std::strlen(labels)), "");
    for (const BenchBus& on : kBenchBuses) {
        std::printf(" | %-*s", width, on.name);
    }
    std::printf("\n%s", labels);
    for (std::size_t i = 0; i < kBenchBuses.size(); ++i) {
        std::printf(" | %s", columns);
    }
    std::printf("\n");
}

#endif

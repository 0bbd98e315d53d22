#ifndef BENCHBUS_H
#define BENCHBUS_H

// The ways every figure is measured: the ideal bus the tests run on, one
// with a real FT245R's full-speed USB transfers and clocked output with
// per-edge writes, and that bus again with the stepper's chip-clocked step
// trains, on a chip of either published bit-bang clock and on a loaded
// machine.
#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

struct BenchBus {
    const char* name;
    ftdisim::BusTiming timing;
    bool chipClocked;
    // The chip's bit-bang bytes per baud period.
    unsigned byteClockFactor;
    // Two threads that keep a processor busy each run beside the move.
    bool loaded;
};

inline const std::array<BenchBus, 5> kBenchBuses = {{
    {"ideal", ftdisim::BusTiming{}, false, 16, false},
    {"full-speed", ftdisim::BusTiming::fullSpeed(), false, 16, false},
    {"chip-clocked, 16/baud", ftdisim::BusTiming::fullSpeed(), true, 16, false},
    {"chip-clocked, 4/baud", ftdisim::BusTiming::fullSpeed(), true, 4, false},
    {"chip-clocked, loaded", ftdisim::BusTiming::fullSpeed(), true, 16, true},
}};

// Threads that spin until it goes: a machine busy with other work.
class CpuLoad {
public:
    explicit CpuLoad(int threads) {
        for (int i = 0; i < threads; ++i) {
            spinners.emplace_back([this] {
                while (!done.load(std::memory_order_relaxed)) {
                }
            });
        }
    }
    ~CpuLoad() {
        done = true;
        for (std::thread& spinner : spinners) {
            spinner.join();
        }
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::atomic<bool> done{false};
    std::vector<std::thread> spinners;
};

// The bus's start state, on the given bus; the load it runs beside, to be
// kept for the measurement.
[[nodiscard]] inline std::unique_ptr<CpuLoad> resetBus(const BenchBus& bus) {
    ftdisim::Bus::instance().reset();
    ftdisim::Bus::instance().setTiming(bus.timing);
    ftdisim::Bus::instance().setByteClockFactor(bus.byteClockFactor);
    return std::make_unique<CpuLoad>(bus.loaded ? 2 : 0);
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

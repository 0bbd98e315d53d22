// Through the controller on the simulated chip, as a host or the console
// program uses it: how long stopRotation() takes until the table stands
// (the simulated table's last step), how far the position the driver keeps
// is from the table's after a stop, and how much processor time a move costs
// per second of turning, on the ideal bus, on the full-speed one, and there
// with chip-clocked step trains.
//
//   bench_stop_and_cpu
#include "BenchBus.h"
#include "BenchStats.h"
#include "LxD2xxBackend.h"
#include "LxKalveraTurntableControl.h"
#include "LxStepperMotor.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

ftdisim::TurntableRig& rig() {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    return *bus.rig(bus.devices().at(0));
}

// The load the bus runs beside, to be kept for the measurement.
[[nodiscard]] std::unique_ptr<CpuLoad>
openModel(const BenchBus& on, LxKalveraTurntableControl& control, unsigned long model) {
    auto load = resetBus(on);
    control.availableDevices();
    bool opened = false;
    control.openDevice(model, &opened);
    if (!opened) {
        std::fprintf(stderr, "cannot open model %lu on the simulated chip\n", model);
        std::exit(1);
    }
    return load;
}

struct StopFigures {
    BenchStats callMs, standsMs;
};

// Continuous rotations stopped after a while: the time stopRotation() takes
// to return, and from the call to the table's last step.
StopFigures stopLatency(const BenchBus& on, unsigned stepTime, int runs) {
    LxKalveraTurntableControl control;
    const auto load = openModel(on, control, 2);
    control.SetRotationSpeed(stepTime);
    control.SetChipClockedStepTrains(on.chipClocked);
    std::vector<double> calls, stands;
    for (int run = 0; run < runs; ++run) {
        control.SetRotationIncrementInCounts(0);
        control.startRotation();
        std::this_thread::sleep_for(200ms);
        const Clock::time_point asked = Clock::now();
        control.stopRotation();
        const Clock::time_point returned = Clock::now();
        // rig() lets the table take what the chip still had to clock out.
        const auto steps = rig().stepperTable().stepTimes();
        calls.push_back(milliseconds(returned - asked));
        // A last step before the call: the table stood already when asked.
        stands.push_back(
            steps.empty() || steps.back() < asked ? 0.0 : milliseconds(steps.back() - asked));
    }
    control.closeDevice();
    return {summarize(calls), summarize(stands)};
}

// Counted moves stopped part way, each after a different time: in how many
// the driver's position differs from where the table stands, and by how many
// counts at worst.
struct PositionFigures {
    int off = 0;
    int worstCounts = 0;
};

PositionFigures positionAfterStops(const BenchBus& on, unsigned stepTime, int runs) {
    constexpr long kCounts = 400;
    const auto load = resetBus(on);
    LxStepperMotor driver(2);
    if (!driver.openDevice(0)) {
        std::fprintf(stderr, "cannot open the simulated chip\n");
        std::exit(1);
    }
    driver.SetCountsPerRevolution(kCounts);
    driver.SetRotationSpeed(stepTime);
    driver.SetChipClockedStepTrains(on.chipClocked);
    PositionFigures figures;
    for (int run = 0; run < runs; ++run) {
        driver.SetRotationIncrementInCounts(kCounts / 2);
        driver.startRotation();
        std::this_thread::sleep_for(std::chrono::microseconds(20000 + 1731 * run));
        driver.stopRotation();
        // Both count clockwise moves down; the driver's position is modulo a turn.
        const long driverCounts = std::lround(driver.GlobalPositionInDegrees() * kCounts / 360.0);
        const long long apart =
            ((driverCounts - rig().stepperTable().position()) % kCounts + kCounts) % kCounts;
        const int off = static_cast<int>(std::min<long long>(apart, kCounts - apart));
        figures.off += off != 0;
        figures.worstCounts = std::max(figures.worstCounts, off);
    }
    return figures;
}

// Processor seconds per second of a counted move, the host polling every
// 10 ms as the console program does.
double cpuPerMoveSecond(const BenchBus& on, unsigned long model, unsigned stepTime, int counts) {
    LxKalveraTurntableControl control;
    const auto load = openModel(on, control, model);
    control.SetRotationSpeed(stepTime);
    control.SetChipClockedStepTrains(on.chipClocked);
    control.SetRotationIncrementInCounts(counts);
    const double cpuBefore = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    control.startRotation();
    while (control.IsTurntableRotating()) {
        std::this_thread::sleep_for(10ms);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    control.closeDevice();
    return cpu / wall;
}

} // namespace

int main(int argc, char** argv) {
    LxD2xxBackend::choose("simulator");
    QCoreApplication application(argc, argv);
    constexpr int kRuns = 20;
    std::printf("stopRotation() of a continuous rotation, %d runs (ms)\n", kRuns);
    printBusHeader("   P                           ", "    mean      p99    worst");
    for (unsigned stepTime : {0u, 5u}) {
        std::vector<StopFigures> figures;
        for (const BenchBus& on : kBenchBuses) {
            figures.push_back(stopLatency(on, stepTime, kRuns));
        }
        std::printf("%4u %-26s", stepTime, "call returns");
        for (const StopFigures& f : figures) {
            std::printf(" | %8.3f %8.3f %8.3f", f.callMs.mean, f.callMs.p99, f.callMs.worst);
        }
        std::printf("\n%4u %-26s", stepTime, "last step (table stands)");
        for (const StopFigures& f : figures) {
            std::printf(" | %8.3f %8.3f %8.3f", f.standsMs.mean, f.standsMs.p99, f.standsMs.worst);
        }
        std::printf("\n");
    }

    std::printf("\nPosition after %d counted moves stopped part way (runs off, worst counts off)\n",
                kRuns);
    printBusHeader("   P", "    runs    worst");
    for (unsigned stepTime : {0u, 5u}) {
        std::printf("%4u", stepTime);
        for (const BenchBus& on : kBenchBuses) {
            const PositionFigures f = positionAfterStops(on, stepTime, kRuns);
            std::printf(" | %8d %8d", f.off, f.worstCounts);
        }
        std::printf("\n");
    }

    std::printf("\nProcessor time per second of move (whole process, host polling every 10 ms)\n");
    std::printf("%-26s", "move, CPU s/s");
    for (const BenchBus& on : kBenchBuses) {
        std::printf(" | %24s", on.name);
    }
    std::printf("\n");
    struct Move {
        const char* name;
        unsigned long model;
        unsigned stepTime;
        int counts;
    };
    for (const Move& move :
         {Move{"stepper P=0, 2000 steps", 2, 0, 2000}, Move{"stepper P=5, 400 steps", 2, 5, 400},
          Move{"DC table, 18 counts", 1, 0, 18}}) {
        std::printf("%-26s", move.name);
        for (const BenchBus& on : kBenchBuses) {
            std::printf(" | %24.3f", cpuPerMoveSecond(on, move.model, move.stepTime, move.counts));
        }
        std::printf("\n");
    }
    return 0;
}

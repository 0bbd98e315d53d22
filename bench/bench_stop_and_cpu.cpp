// Through the controller on the simulated chip, as a host or the console
// program uses it: how long stopRotation() takes until the table stands
// (the simulated table's last step), and how much processor time a move
// costs per second of turning (the rotation thread busy-waits its steps).
//
//   bench_stop_and_cpu
#include "BenchStats.h"
#include "LxD2xxBackend.h"
#include "LxKalveraTurntableControl.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
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

void openModel(LxKalveraTurntableControl& control, unsigned long model) {
    ftdisim::Bus::instance().reset();
    control.availableDevices();
    bool opened = false;
    control.openDevice(model, &opened);
    if (!opened) {
        std::fprintf(stderr, "cannot open model %lu on the simulated chip\n", model);
        std::exit(1);
    }
}

struct StopFigures {
    BenchStats callMs, standsMs;
};

// Continuous rotations stopped after a while: the time stopRotation() takes
// to return, and from the call to the table's last step.
StopFigures stopLatency(unsigned stepTime, int runs) {
    LxKalveraTurntableControl control;
    openModel(control, 2);
    control.SetRotationSpeed(stepTime);
    std::vector<double> calls, stands;
    for (int run = 0; run < runs; ++run) {
        control.SetRotationIncrementInCounts(0);
        control.startRotation();
        std::this_thread::sleep_for(200ms);
        const Clock::time_point asked = Clock::now();
        control.stopRotation();
        const Clock::time_point returned = Clock::now();
        const auto steps = rig().stepperTable().stepTimes();
        calls.push_back(milliseconds(returned - asked));
        // A last step before the call: the table stood already when asked.
        stands.push_back(
            steps.empty() || steps.back() < asked ? 0.0 : milliseconds(steps.back() - asked));
    }
    control.closeDevice();
    return {summarize(calls), summarize(stands)};
}

// Processor seconds per second of a counted move, the host polling every
// 10 ms as the console program does.
double cpuPerMoveSecond(unsigned long model, unsigned stepTime, int counts) {
    LxKalveraTurntableControl control;
    openModel(control, model);
    control.SetRotationSpeed(stepTime);
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
    std::printf("%4s %-34s %8s %8s %8s\n", "P", "", "mean", "p99", "worst");
    for (unsigned stepTime : {0u, 5u}) {
        const StopFigures f = stopLatency(stepTime, kRuns);
        std::printf("%4u %-34s %8.3f %8.3f %8.3f\n", stepTime, "call returns", f.callMs.mean,
                    f.callMs.p99, f.callMs.worst);
        std::printf("%4u %-34s %8.3f %8.3f %8.3f\n", stepTime, "last step (table stands)",
                    f.standsMs.mean, f.standsMs.p99, f.standsMs.worst);
    }

    std::printf("\nProcessor time per second of move (whole process, host polling every 10 ms)\n");
    std::printf("%-26s %10s\n", "move", "CPU s/s");
    std::printf("%-26s %10.3f\n", "stepper P=0, 2000 steps", cpuPerMoveSecond(2, 0, 2000));
    std::printf("%-26s %10.3f\n", "stepper P=5, 400 steps", cpuPerMoveSecond(2, 5, 400));
    std::printf("%-26s %10.3f\n", "DC table, 18 counts", cpuPerMoveSecond(1, 0, 18));
    return 0;
}

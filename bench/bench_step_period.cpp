// Step period of the stepper driver on the simulated chip: how close its
// step train comes to the mandated P + 1 ms per step, on the ideal bus, on
// the full-speed one, and there as a chip-clocked train.
//
//   bench_step_period [steps]      (default 2000 steps at P = 0, 1, 2 and 5)
#include "BenchBus.h"
#include "BenchStats.h"
#include "LxD2xxBackend.h"
#include "LxStepperMotor.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

BenchStats measure(const BenchBus& on, int steps, unsigned stepTime) {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    const auto load = resetBus(on);
    LxStepperMotor driver(2);
    if (!driver.openDevice(0)) {
        std::fprintf(stderr, "cannot open the simulated chip\n");
        std::exit(1);
    }
    driver.SetCountsPerRevolution(static_cast<unsigned>(steps));
    driver.SetRotationSpeed(stepTime);
    driver.SetRotationIncrementInCounts(steps);
    driver.SetChipClockedStepTrains(on.chipClocked);
    if (on.chipClocked && !driver.runsChipClockedStepTrains()) {
        std::fprintf(stderr, "%s: per-edge writes, the chip's clock not timed: %s\n", on.name,
                     driver.byteClock().problem.c_str());
    }
    driver.startRotation();
    // A poll that spins would contend with the rotation thread for the lock it
    // takes once per step, and for a processor.
    while (driver.IsTurntableRotating()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    driver.stopRotation();

    return summarize(periods(bus.rig(bus.devices().at(0))->stepperTable().stepTimes()));
}

} // namespace

int main(int argc, char** argv) {
    LxD2xxBackend::choose("simulator");
    const int steps = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (steps < 2) {
        std::fprintf(stderr, "usage: %s [steps >= 2]\n", argv[0]);
        return 2;
    }
    std::printf("Stepper step period over %d steps (simulated chip), ms\n", steps);
    printBusHeader("   P  mandated", "    mean      p99    worst");
    for (unsigned stepTime : {0u, 1u, 2u, 5u}) {
        std::printf("%4u %9u", stepTime, stepTime + 1);
        for (const BenchBus& on : kBenchBuses) {
            const BenchStats s = measure(on, steps, stepTime);
            std::printf(" | %8.3f %8.3f %8.3f", s.mean, s.p99, s.worst);
        }
        std::printf("\n");
    }
    return 0;
}

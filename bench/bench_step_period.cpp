// Step period of the stepper driver on the simulated chip: how close the
// busy-waited step train comes to the mandated P + 1 ms per step.
//
//   bench_step_period [steps]      (default 2000 steps at P = 0, 1, 2 and 5)
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

BenchStats measure(int steps, unsigned stepTime) {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    bus.reset();
    LxStepperMotor driver(2);
    if (!driver.openDevice(0, nullptr)) {
        std::fprintf(stderr, "cannot open the simulated chip\n");
        std::exit(1);
    }
    driver.SetCountsPerRevolution(static_cast<unsigned>(steps));
    driver.SetRotationSpeed(stepTime);
    driver.SetRotationIncrementInCounts(steps);
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
    std::printf("Stepper step period over %d steps (simulated chip)\n", steps);
    std::printf("%4s %12s %10s %10s %10s\n", "P", "mandated ms", "mean ms", "p99 ms", "worst ms");
    for (unsigned stepTime : {0u, 1u, 2u, 5u}) {
        const BenchStats s = measure(steps, stepTime);
        std::printf("%4u %12u %10.3f %10.3f %10.3f\n", stepTime, stepTime + 1, s.mean, s.p99,
                    s.worst);
    }
    return 0;
}

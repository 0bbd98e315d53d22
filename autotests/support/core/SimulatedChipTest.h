#ifndef SIMULATEDCHIPTEST_H
#define SIMULATEDCHIPTEST_H

#include "LxFTDIController.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// A test on a fresh simulated bus: one FT245R with a turntable rig behind it.
class SimulatedChipTest : public ::testing::Test {
protected:
    void SetUp() override { ftdisim::Bus::instance().reset(); }
    void TearDown() override { ftdisim::Bus::instance().reset(); }

    static ftdisim::DeviceId chip() { return ftdisim::Bus::instance().devices().at(0); }
    static ftdisim::TurntableRig& rig() { return *ftdisim::Bus::instance().rig(chip()); }
    static ftdisim::Trace trace() { return ftdisim::Bus::instance().trace(chip()); }

    // Opens the chip with chip-clocked step trains on, which they run with
    // only once the open has timed the chip's clock. The timing has 100 ms,
    // and a loaded machine that wakes its thread late spoils it now and then:
    // the moves would be per-edge writes, whose stops take the planned
    // position. So a spoilt timing is taken again, a few times, on a bus back
    // at its start with the same timing and clock: a mere re-open would pass
    // through reset mode, whose pull-ups raise the step line.
    static void openChipClocked(LxFTDIController& driver) {
        constexpr int kTries = 5;
        for (int tries = 1;; ++tries) {
            ASSERT_TRUE(driver.openDevice(0));
            driver.SetChipClockedStepTrains(true);
            if (driver.runsChipClockedStepTrains()) {
                return;
            }
            ASSERT_LT(tries, kTries) << driver.byteClock().problem;
            driver.closeDevice();
            ftdisim::Bus& bus = ftdisim::Bus::instance();
            const ftdisim::BusTiming timing = bus.timing();
            const unsigned factor = bus.byteClockFactor();
            bus.reset();
            bus.setTiming(timing);
            bus.setByteClockFactor(factor);
        }
    }

    // Waits for a move that ends by itself, then reclaims its thread; returns
    // how long the move took to end. Fails the test after `limit`.
    static std::chrono::steady_clock::duration
    runToEnd(LxFTDIController& driver,
             std::chrono::steady_clock::duration limit = std::chrono::seconds(60)) {
        const auto start = std::chrono::steady_clock::now();
        while (driver.IsTurntableRotating()) {
            if (std::chrono::steady_clock::now() - start > limit) {
                ADD_FAILURE() << "the move did not end";
                break;
            }
            // On two cores a spinning test would take the processor of the
            // rotation thread, which spins the last stretch of each wait.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(driver.stopRotation());
        return took;
    }
};

#endif

#ifndef SIMULATEDCHIPTEST_H
#define SIMULATEDCHIPTEST_H

#include "LxFTDIController.h"

#include <ftdisim/Bus.h>
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

// Two turntables on two chips, each with its own controller, view and shoot,
// run at once from one host: every notice names its own controller, and each
// table makes exactly its own moves.
#include "LxSettingsKeys.h"
#include "PinProtocolChecker.h"
#include "ReliabilityTest.h"

#include <gtest/gtest.h>

#include <QQuickItem>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

namespace {

class TwoTurntables : public ReliabilityTest {};

TEST_F(TwoTurntables, ShootAtOnceWithoutDisturbingEachOther) {
    const ftdisim::DeviceId first = chip();
    const ftdisim::DeviceId second = bus().attach();
    // The first controller opens the first chip; the search then finds the other.
    ASSERT_TRUE(openModel(*control, 0));
    auto other = std::make_unique<LxKalveraTurntableControl>();
    ASSERT_TRUE(openModel(*other, 0));
    EXPECT_TRUE(bus().stats(first).open);
    EXPECT_TRUE(bus().stats(second).open);

    // First: 4 captures of 90 degrees with the shutter, 72 steps a turn.
    // Second: 6 captures of 60 degrees, 144 steps a turn, a slower step.
    ASSERT_TRUE(planShoot(shootSettings(4, 72, 0.05, 0.05, true)))
        << control->lastError().toStdString();
    std::unique_ptr<QQuickItem> otherItem(other->createPluginUIFrameView());
    ASSERT_NE(otherItem, nullptr) << "a second view beside the first";
    QVariantMap otherSettings = shootSettings(6, 144, 0.0, 0.02);
    otherSettings[LxSettingsKeys::rotationSpeed] = 8;
    otherItem->setProperty("settingsToSave", otherSettings);
    unsigned short otherCount = 0;
    float* otherAngles = nullptr;
    ASSERT_TRUE(other->complete360ProductPhotographyWillStart(&otherCount, &otherAngles))
        << other->lastError().toStdString();
    EXPECT_EQ(otherCount, 6);
    EXPECT_EQ(control->countsPerRevolution(), 72u);
    EXPECT_EQ(other->countsPerRevolution(), 144u);
    EXPECT_EQ(other->rotationSpeed(), 2u);

    ShootingHost& firstHost = hostOf(*control);
    ShootingHost& secondHost = hostOf(*other);
    firstHost.start(evenAngles(4));
    secondHost.start(evenAngles(6));
    ASSERT_TRUE(
        processEventsUntil([&] { return firstHost.finished() && secondHost.finished(); }, 60s));
    ASSERT_TRUE(processEventsUntil(
        [&] { return !control->IsTurntableRotating() && !other->IsTurntableRotating(); }));

    for (const auto& [plugin, captures] :
         {std::pair<LxTurntableHardware*, std::size_t>{control.get(), 4},
          std::pair<LxTurntableHardware*, std::size_t>{other.get(), 6}}) {
        const std::vector<HostNotice> told = notices(plugin);
        ASSERT_EQ(told.size(), captures + 1) << "the open and one notice per capture";
        EXPECT_EQ(told.front().kind, HostNotice::Opened);
        EXPECT_EQ(noticeCount(HostNotice::RotationStopped, plugin), captures);
    }

    const ftdisim::StepperTable& firstTable = rig(first).stepperTable();
    const ftdisim::StepperTable& secondTable = rig(second).stepperTable();
    EXPECT_EQ(firstTable.steps(), 72u);
    EXPECT_EQ(firstTable.position(), -72);
    EXPECT_EQ(secondTable.steps(), 144u);
    EXPECT_EQ(secondTable.position(), -144);
    EXPECT_EQ(rig(first).camera().captures().size(), 4u);
    EXPECT_TRUE(rig(second).camera().captures().empty());

    pinprotocol::StepperExpectations firstRules(0ms);
    firstRules.steps = 72;
    firstRules.directionHigh = true;
    auto report = pinprotocol::checkStepperProtocol(bus().trace(first), firstRules);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_EQ(report.shutterPulses.size(), 4u);
    pinprotocol::StepperExpectations secondRules(2ms);
    secondRules.steps = 144;
    secondRules.directionHigh = true;
    report = pinprotocol::checkStepperProtocol(bus().trace(second), secondRules);
    EXPECT_TRUE(report.ok()) << report;
    EXPECT_TRUE(report.shutterPulses.empty());

    EXPECT_TRUE(other->pluginUIFrameViewWillClose(otherItem.get()));
    otherItem.reset();
    dropHost(other.get());
    other.reset();
}

// Where the two threads of a plug-in loader wait for each other.
void meet(std::atomic<int>& arrived) {
    ++arrived;
    while (arrived < 2) {
        std::this_thread::yield();
    }
}

// As a plug-in loader does: each table's controller made, searched with and
// opened on a thread of its own, both searches before either open.
TEST_F(TwoTurntables, TwoThreadsThatSearchedAtOnceOpenOneChipEach) {
    const ftdisim::DeviceId first = chip();
    const ftdisim::DeviceId second = bus().attach();
    std::atomic<int> searched{0};
    std::atomic<int> openedBoth{0};
    std::atomic<int> looked{0};
    bool opened[2] = {};
    std::string errors[2];
    bool bothChipsOpen = false;
    const auto table = [&](int k) {
        LxKalveraTurntableControl controller;
        EXPECT_FALSE(controller.availableDevices().empty());
        meet(searched);
        controller.openDevice(0, &opened[k]);
        errors[k] = controller.lastError().toStdString();
        meet(openedBoth);
        if (k == 0) {
            bothChipsOpen = bus().stats(first).open && bus().stats(second).open;
        }
        meet(looked);
    };
    std::thread threads[] = {std::thread(table, 0), std::thread(table, 1)};
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(opened[0]) << errors[0];
    EXPECT_TRUE(opened[1]) << errors[1];
    EXPECT_TRUE(bothChipsOpen);
}

} // namespace

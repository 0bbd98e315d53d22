// The refresh of the view's device settings: after every open and at the end
// of every move, always from the view's event loop.
#include "LxSettingsKeys.h"
#include "ViewTest.h"

#include <ftdisim/Bus.h>

#include <QElapsedTimer>

namespace {

using DeviceSettingsRefresh = ViewTest;

QVariantMap deviceSettings(const char* counts, bool clockwiseHigh, bool enableHigh) {
    return {{LxSettingsKeys::stepsPerRevolutionText, counts},
            {LxSettingsKeys::isClockwiseActiveHigh, clockwiseHigh},
            {LxSettingsKeys::isMotorEnableActiveHigh, enableHigh}};
}

TEST_F(DeviceSettingsRefresh, CustomShowsTheSavedSettingsOtherModelsTheDrivers) {
    writeSettingsFile(R"({"customTurntableAdvancedSettings": {"stepsPerRevolutionText": "400",
        "isClockwiseActiveHigh": false, "isMotorEnableActiveHigh": false, "extra": 1}})");
    openView();
    ASSERT_TRUE(openDevice(0));
    ASSERT_TRUE(openDevice(4));
    ftdisim::Bus::instance().failNextOpen(FT_IO_ERROR);
    ASSERT_FALSE(openDevice(3));
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 3; }));

    const QVariantList updates = recorded("deviceUpdates");
    QVariantMap saved = deviceSettings("400", false, false);
    saved.insert("extra", 1);
    EXPECT_EQ(updates[0].toMap()["modelIndex"], 0);
    EXPECT_EQ(updates[0].toMap()["settings"], saved) << "the file's copy, untouched";
    EXPECT_EQ(updates[1].toMap()["modelIndex"], 4);
    EXPECT_EQ(updates[1].toMap()["settings"], deviceSettings("11200", true, true));
    EXPECT_EQ(updates[2].toMap()["modelIndex"], 3);
    EXPECT_EQ(updates[2].toMap()["settings"], deviceSettings("0", false, false))
        << "a failed open leaves no driver to read";
}

TEST_F(DeviceSettingsRefresh, RefreshesComeFromTheEventLoopInCallOrder) {
    openView();
    ASSERT_TRUE(openDevice(2));
    ASSERT_TRUE(openDevice(0));
    control->updateDeviceSettingsUI(5);
    control->updateDeviceSettingsUI(-1);
    EXPECT_TRUE(recorded("deviceUpdates").isEmpty()) << "nothing runs inside the calls";

    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() == 4; }));
    QVariantList order;
    for (const QVariant& update : recorded("deviceUpdates")) {
        order.append(update.toMap()["modelIndex"]);
    }
    EXPECT_EQ(order, (QVariantList{2, 0, 5, -1}));
    EXPECT_EQ(recorded("deviceUpdates")[3].toMap()["type"], "undefined");
}

TEST_F(DeviceSettingsRefresh, EveryMoveEndsWithARefreshWithoutSettings) {
    openView();
    ASSERT_TRUE(openDevice(2));
    control->SetCountsPerRevolution(72);
    for (int move = 1; move <= 2; ++move) {
        SCOPED_TRACE(move);
        ASSERT_EQ(control->SetRotationIncrementInCounts(5), 5);
        ASSERT_TRUE(control->startRotation());
        ASSERT_TRUE(
            processEventsUntil([&] { return recorded("deviceUpdates").size() == move + 1; }));
        const QVariantMap update = recorded("deviceUpdates").last().toMap();
        EXPECT_EQ(update["modelIndex"], -1);
        EXPECT_EQ(update["type"], "undefined");
    }
    EXPECT_FALSE(control->IsTurntableRotating());
}

// A host that opens the turntable before it shows the view: the view hears
// the open model once, as it is now, and nothing kept from before it was made.
TEST_F(DeviceSettingsRefresh, WithoutAViewNothingIsSentALaterViewHearsTheOpenModel) {
    ASSERT_TRUE(openDevice(2));
    control->SetCountsPerRevolution(72);
    ASSERT_EQ(control->SetRotationIncrementInCounts(5), 5);
    ASSERT_TRUE(control->startRotation());
    control->stopRotation(); // the move's end has been handled when this returns
    control->updateDeviceSettingsUI(2);
    control->SetCountsPerRevolution(144);

    openView();
    processPendingEvents();
    QVariantList updates = recorded("deviceUpdates");
    ASSERT_EQ(updates.size(), 1) << "one refresh of the open model, none kept from before";
    EXPECT_EQ(updates[0].toMap()["modelIndex"], 2);
    EXPECT_EQ(updates[0].toMap()["settings"], deviceSettings("144", false, true));
    ASSERT_TRUE(closeView());

    // "Custom" shows the saved settings, not the driver's.
    writeSettingsFile(R"({"customTurntableAdvancedSettings": {"stepsPerRevolutionText": "400",
        "isClockwiseActiveHigh": false, "isMotorEnableActiveHigh": true}})");
    ASSERT_TRUE(openDevice(0));
    openView();
    processPendingEvents();
    updates = recorded("deviceUpdates");
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates[0].toMap()["modelIndex"], 0);
    EXPECT_EQ(updates[0].toMap()["settings"], deviceSettings("400", false, true));
    ASSERT_TRUE(closeView());

    // With no model open, after a close or a failed open, a new view hears nothing.
    control->closeDevice();
    openView();
    processPendingEvents();
    EXPECT_TRUE(recorded("deviceUpdates").isEmpty()) << "after a close";
    ASSERT_TRUE(closeView());
    ftdisim::Bus::instance().failNextOpen(FT_IO_ERROR);
    ASSERT_FALSE(openDevice(3));
    openView();
    processPendingEvents();
    EXPECT_TRUE(recorded("deviceUpdates").isEmpty()) << "after a failed open";
}

// For ThreadSanitizer and AddressSanitizer: the end of a move on its rotation
// thread and the close on the host's thread, at every distance.
TEST_F(DeviceSettingsRefresh, ClosingTheViewWhileMovesEndIsSafe) {
    ASSERT_TRUE(openDevice(2));
    control->SetCountsPerRevolution(72);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        openView();
        ASSERT_EQ(control->SetRotationIncrementInCounts(3), 3);
        ASSERT_TRUE(control->startRotation());
        // A move takes a few milliseconds; the close falls before, at and
        // after its end.
        QElapsedTimer timer;
        timer.start();
        while (timer.nsecsElapsed() < (round % 8) * 1000000LL) {
        }
        EXPECT_TRUE(closeView());
        control->stopRotation();
        processPendingEvents();
        item.reset();
    }

    // Nothing of those moves reaches a later view, which hears only the open
    // model and then its own move's end.
    openView();
    ASSERT_EQ(control->SetRotationIncrementInCounts(3), 3);
    ASSERT_TRUE(control->startRotation());
    ASSERT_TRUE(processEventsUntil([this] { return recorded("deviceUpdates").size() >= 2; }));
    control->stopRotation();
    processPendingEvents();
    ASSERT_EQ(recorded("deviceUpdates").size(), 2);
    EXPECT_EQ(recorded("deviceUpdates")[0].toMap()["modelIndex"], 2);
    EXPECT_EQ(recorded("deviceUpdates")[1].toMap()["modelIndex"], -1);
}

} // namespace

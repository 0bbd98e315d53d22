#include "LxKalveraTurntableControl.h"

#include "ProcessEventsUntil.h"
#include "TestPath.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <QThread>

#include <chrono>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using ftdisim::Bus;
using Private = LxTurntableHardware::TurntableHardwarePrivate;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> modelNames{"Custom",    "Standard", "Tessel M", "Tessel L",
                                          "Tessel XL", "Facet",    "Quarry L", "Quarry M"};

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        Private::hardwareOpenSucceeded = [this](LxTurntableHardware* p, unsigned long i, bool f) {
            reports.push_back((p == &control ? "opened " : "opened elsewhere ") +
                              std::to_string(i) + (f ? " custom" : " standard"));
        };
        Private::hardwareDisconnected = [this](LxTurntableHardware* p, unsigned long i) {
            reports.push_back((p == &control ? "disconnected " : "disconnected elsewhere ") +
                              std::to_string(i));
        };
    }
    void TearDown() override {
        control.closeDevice();
        Private::hardwareOpenSucceeded = nullptr;
        Private::hardwareDisconnected = nullptr;
        Bus::instance().reset();
    }

    bool open(unsigned long model) {
        bool opened = false;
        control.openDevice(model, &opened);
        return opened;
    }
    static ftdisim::DeviceStats chipStats() {
        return Bus::instance().stats(Bus::instance().devices().at(0));
    }

    LxKalveraTurntableControl control;
    std::vector<std::string> reports;
};

TEST_F(Controller, WithoutADeviceEveryOperationIsNeutral) {
    EXPECT_FALSE(control.isTurntableOpened());
    control.SetCountsPerRevolution(200);
    control.SetClockwiseActiveHigh(true);
    control.SetMotorEnableActiveHigh(true);
    control.SetLockMotorWhenIdle(true);
    control.SetRotationSpeed(3);
    control.SetRotationClockwise();
    control.SetRotationGlobalOriginHere();
    EXPECT_EQ(control.countsPerRevolution(), 0u);
    EXPECT_FALSE(control.isClockwiseActiveHigh());
    EXPECT_FALSE(control.isMotorEnableActiveHigh());
    EXPECT_FALSE(control.isLockMotorWhenIdle());
    EXPECT_EQ(control.rotationSpeed(), 0u);
    EXPECT_FALSE(control.isRotationClockwise());
    EXPECT_EQ(control.SetRotationIncrementInCounts(10), 0);
    EXPECT_EQ(control.SetRotationIncrementInDegrees(10.0), 0.0);
    EXPECT_EQ(control.SetRotationNextGlobalPositionInDegrees(123.0), 123.0);
    EXPECT_FALSE(control.startRotation());
    EXPECT_FALSE(control.stopRotation());
    EXPECT_FALSE(control.IsTurntableRotating());
    EXPECT_FALSE(control.shutterReleaseCameraHardware());
    control.stopsSpinning();
    control.closeDevice();
    EXPECT_TRUE(control.lastError().isEmpty());
}

TEST_F(Controller, DiscoveryListsEveryModelForAnAttachedChip) {
    const std::list<std::string> names = control.availableDevices();
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.end()), modelNames);
    EXPECT_TRUE(control.lastError().isEmpty());
}

TEST_F(Controller, DiscoveryExplainsAMissingChip) {
    Bus::instance().clear();
    EXPECT_TRUE(control.availableDevices().empty());
    EXPECT_EQ(control.lastError(), QStringLiteral("The turntable device cannot be found.\n\n"
                                                  "- make sure driver is installed\n"
                                                  "- make sure turntable is powered on\n"
                                                  "- make sure turntable is connected via USB\n"));
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::DeviceNotFound);
    EXPECT_FALSE(open(2));
    EXPECT_EQ(control.lastError(), QStringLiteral("No available device found."));
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::NoDeviceToOpen);

    // A chip open in another process is not offered either, and one listed
    // without its strings is one this user may not open: both are named.
    const QString cannotOpen = QStringLiteral(
        "The turntable's USB chip is attached but cannot be opened: another program or driver "
        "holds it, or this user may not open it.\n\n"
        "- close other programs that use the turntable\n"
        "- on Linux, install the udev rule 60-kalvera-turntable.rules into /etc/udev/rules.d/ "
        "and plug the turntable in again\n");
    const ftdisim::DeviceId held = Bus::instance().attach({"FT245R USB FIFO", "B1", true});
    if (testpath::listFlagsDevicesOpenElsewhere()) {
        EXPECT_TRUE(control.availableDevices().empty());
        EXPECT_EQ(control.lastError(), cannotOpen);
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipUnopenable);
    } else {
        EXPECT_FALSE(control.availableDevices().empty());
        EXPECT_FALSE(open(2));
        EXPECT_EQ(control.lastError(), QStringLiteral("Device not opened"));
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::UsbFailure);
    }
    Bus::instance().unplug(held);
    Bus::instance().attach({"FT245R USB FIFO", "B2", false, true});
    EXPECT_TRUE(control.availableDevices().empty());
    EXPECT_EQ(control.lastError(), cannotOpen);
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipUnopenable);
}

TEST_F(Controller, EachModelOpensWithItsMotorSettings) {
    struct Expected {
        unsigned counts;
        bool lock, enableHigh, clockwiseHigh;
        std::uint8_t pinDirections;
    };
    const Expected expected[] = {
        {0, true, true, true, 0xFF},       {72, true, true, true, 0xEF},
        {19520, false, true, false, 0xFF}, {12062, false, true, false, 0xFF},
        {11200, false, true, true, 0xFF},  {6400, false, true, false, 0xFF},
        {11520, false, true, false, 0xFF}, {8220, false, true, false, 0xFF},
    };
    ASSERT_FALSE(control.availableDevices().empty());
    for (unsigned long model = 0; model < 8; ++model) {
        SCOPED_TRACE(modelNames[model]);
        ASSERT_TRUE(open(model));
        EXPECT_TRUE(control.isTurntableOpened());
        EXPECT_EQ(control.countsPerRevolution(), expected[model].counts);
        EXPECT_EQ(control.isLockMotorWhenIdle(), expected[model].lock);
        EXPECT_EQ(control.isMotorEnableActiveHigh(), expected[model].enableHigh);
        EXPECT_EQ(control.isClockwiseActiveHigh(), expected[model].clockwiseHigh);
        EXPECT_EQ(control.rotationSpeed(), 0u);
        EXPECT_EQ(chipStats().bitMask, expected[model].pinDirections);
        control.closeDevice();
        EXPECT_FALSE(control.isTurntableOpened());
        EXPECT_FALSE(chipStats().open);
    }
}

TEST_F(Controller, MotorSettingsLastOneOpeningShootSettingsStay) {
    ASSERT_FALSE(control.availableDevices().empty());
    ASSERT_TRUE(open(0));
    EXPECT_EQ(control.SetRotationIncrementInCounts(5), 0) << "Custom needs its counts first";
    control.SetCountsPerRevolution(400);
    control.SetRotationSpeed(4);
    control.setComplete360TurnsCount(3);
    control.setDelaySeconds(1.5f, 0.25f);
    control.setUsingCustomAngles(true);
    control.setUsingIndexReshoot(true);
    control.closeDevice();

    ASSERT_TRUE(open(0));
    EXPECT_EQ(control.countsPerRevolution(), 0u);
    EXPECT_EQ(control.rotationSpeed(), 0u);
    EXPECT_EQ(control.complete360TurnsCount(), 3);
    float pre = 0, post = 0;
    control.delaySeconds(&pre, &post);
    EXPECT_EQ(pre, 1.5f);
    EXPECT_EQ(post, 0.25f);
    EXPECT_EQ(control.preDelaySeconds(), 1.5f);
    EXPECT_EQ(control.postDelaySeconds(), 0.25f);
    EXPECT_TRUE(control.isUsingCustomAngles());
    EXPECT_TRUE(control.isUsingIndexReshoot());
}

TEST_F(Controller, TheChipClockedChoiceReachesEveryDriverOpenedAfterIt) {
    ASSERT_FALSE(control.availableDevices().empty());
    control.SetChipClockedStepTrains(false);
    EXPECT_FALSE(control.isChipClockedStepTrains());
    EXPECT_EQ(control.chipByteClockFactor(), 0);
    ASSERT_TRUE(open(2));
    EXPECT_TRUE(control.isChipClockedStepTrains()) << "on by default, nothing kept unopened";
    EXPECT_EQ(control.chipByteClockFactor(), static_cast<int>(Bus::instance().byteClockFactor()));
    EXPECT_TRUE(control.chipByteClockProblem().isEmpty())
        << control.chipByteClockProblem().toStdString();

    control.SetChipClockedStepTrains(false);
    EXPECT_FALSE(control.isChipClockedStepTrains());
    control.closeDevice();
    ASSERT_TRUE(open(5));
    EXPECT_FALSE(control.isChipClockedStepTrains()) << "reopened as another model";
    ASSERT_TRUE(open(0));
    EXPECT_FALSE(control.isChipClockedStepTrains()) << "the model switched while open";

    control.SetChipClockedStepTrains(true);
    ASSERT_TRUE(open(1));
    EXPECT_FALSE(control.isChipClockedStepTrains()) << "the DC table has no step train";
    EXPECT_EQ(control.chipByteClockFactor(), 0);
    EXPECT_TRUE(control.chipByteClockProblem().isEmpty());
    ASSERT_TRUE(open(3));
    EXPECT_TRUE(control.isChipClockedStepTrains());
}

TEST_F(Controller, TheHostHearsOfEveryOpen) {
    ASSERT_FALSE(control.availableDevices().empty());
    control.openDevice(1);
    control.openDevice(5); // closes "Standard" first
    EXPECT_EQ(chipStats().opens, 2u);
    EXPECT_EQ(chipStats().closes, 1u);
    Bus::instance().failNextOpen(FT_IO_ERROR);
    control.openDevice(2);
    EXPECT_EQ(control.lastError(), QStringLiteral("IO Error"));
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::UsbFailure);
    EXPECT_EQ(reports,
              (std::vector<std::string>{"opened 1 standard", "opened 5 custom", "disconnected 2"}));
}

TEST_F(Controller, OpenFailuresLeaveTheStatusText) {
    ASSERT_FALSE(control.availableDevices().empty());
    const std::map<FT_STATUS, const char*> texts = {
        {FT_INVALID_HANDLE, "Invalid handle."},
        {FT_DEVICE_NOT_FOUND, "Device not found"},
        {FT_DEVICE_NOT_OPENED, "Device not opened"},
        {FT_IO_ERROR, "IO Error"},
        {FT_INSUFFICIENT_RESOURCES, "Insufficient resources"},
        {FT_INVALID_PARAMETER, "Invalid parameter"},
        {FT_OTHER_ERROR, "Other error"},
    };
    // 0x7fffffff is no D2XX status and has no text.
    const auto textSeen = [&texts](FT_STATUS status) {
        const auto text = texts.find(testpath::openFailureSeen(status));
        return QString::fromLatin1(text == texts.end() ? "" : text->second);
    };
    for (const FT_STATUS status : {1ul, 2ul, 3ul, 4ul, 5ul, 6ul, 18ul, 0x7ffffffful}) {
        Bus::instance().failNextOpen(status);
        control.setLastError(QStringLiteral("earlier"));
        EXPECT_FALSE(open(3));
        EXPECT_EQ(control.lastError(), textSeen(status)) << status;
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::UsbFailure);
        EXPECT_EQ(control.lastUsbStatus(), testpath::openFailureSeen(status));
        EXPECT_FALSE(control.isTurntableOpened());
    }
    EXPECT_TRUE(open(3));
    EXPECT_EQ(control.lastError(), textSeen(0x7fffffff)) << "a success does not clear the text";
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::UsbFailure) << "nor the code";
    EXPECT_EQ(control.lastUsbStatus(), testpath::openFailureSeen(0x7fffffff));
}

TEST_F(Controller, AChipChangedSinceTheSearchIsNeitherOpenedNorDriven) {
    Bus& bus = Bus::instance();
    ASSERT_FALSE(control.availableDevices().empty());
    const QString changed = QStringLiteral("The turntable's USB chip has changed since it was "
                                           "found. Search for the turntable again.");
    bus.unplug(bus.devices().at(0));
    EXPECT_FALSE(open(2));
    EXPECT_EQ(control.lastError(), changed) << "unplugged";
    EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipChanged);

    // Another FTDI chip, or another turntable, now has the index of the one found.
    for (const ftdisim::DeviceDescription& other :
         {ftdisim::DeviceDescription{"FT232R USB UART", "A5XK3RJT"},
          ftdisim::DeviceDescription{"FT245R USB FIFO", "KT777777"}}) {
        const ftdisim::DeviceId device = bus.attach(other);
        control.setLastError(QString());
        EXPECT_FALSE(open(2));
        EXPECT_EQ(control.lastError(), changed) << other.description;
        EXPECT_EQ(control.lastErrorCode(), LxAbstractPlugin::ErrorCode::ChipChanged);
        EXPECT_FALSE(control.isTurntableOpened());
        EXPECT_EQ(bus.stats(device).opens, 0u);
        EXPECT_TRUE(bus.trace(device).events.empty()) << "no pin of " << other.description;
        bus.unplug(device);
    }

    bus.attach({"FT245R USB FIFO", "KT888888"});
    ASSERT_FALSE(control.availableDevices().empty());
    EXPECT_TRUE(open(2)) << "found anew";
}

TEST_F(Controller, DestroyingStopsTheRotationAndReleasesTheChip) {
    auto owned = std::make_unique<LxKalveraTurntableControl>();
    ASSERT_FALSE(owned->availableDevices().empty());
    bool opened = false;
    owned->openDevice(2, &opened);
    ASSERT_TRUE(opened);
    owned->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(owned->startRotation());
    ASSERT_TRUE(owned->IsTurntableRotating());
    owned.reset();
    EXPECT_FALSE(chipStats().open);

    ASSERT_FALSE(control.availableDevices().empty());
    ASSERT_TRUE(open(5));
    control.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(control.startRotation());
    control.stopsSpinning();
    EXPECT_FALSE(control.IsTurntableRotating());
    control.stopsSpinning(); // nothing running: nothing to do
}

// A plug-in host that ran the turntable from a QThread of its own, ended that
// thread, and closes the turntable from its main thread: nothing is left to
// take the close, which is done at once; an open is refused with the reason.
TEST_F(Controller, ACloseAfterTheControllersThreadEndedIsDoneAtOnce) {
    LxKalveraTurntableControl made;
    ASSERT_FALSE(made.availableDevices().empty());
    bool opened = false;
    // Its thread's loop is made as it starts; the thread ends once it has
    // opened (joined rather than handed over, for ThreadSanitizer's sake).
    const std::unique_ptr<QThread> worker(QThread::create([&] { made.openDevice(0, &opened); }));
    worker->start();
    ASSERT_TRUE(worker->wait(10000));
    ASSERT_TRUE(opened) << made.lastError().toStdString();

    made.closeDevice();
    EXPECT_FALSE(made.isTurntableOpened());
    EXPECT_FALSE(chipStats().open) << "not left to a loop that has ended";
    made.openDevice(0, &opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(made.lastErrorCode(), LxAbstractPlugin::ErrorCode::WrongThread);
    EXPECT_TRUE(made.lastError().contains("has ended")) << made.lastError().toStdString();
}

// Plug-in loaders make the controller on a worker thread; the host then uses
// it from its own thread, and may ask for a close from yet another.
TEST_F(Controller, AControllerMadeOnAWorkerServesTheThreadThatOpensIt) {
    std::unique_ptr<LxKalveraTurntableControl> made;
    std::thread([&] { made = std::make_unique<LxKalveraTurntableControl>(); }).join();
    ASSERT_FALSE(made->availableDevices().empty());
    bool refused = true;
    std::thread([&] { made->openDevice(8, &refused); }).join();
    EXPECT_FALSE(refused);
    EXPECT_EQ(made->lastErrorCode(), LxAbstractPlugin::ErrorCode::InvalidModelIndex)
        << "refused before the thread is bound";

    bool opened = false;
    made->openDevice(0, &opened);
    ASSERT_TRUE(opened) << made->lastError().toStdString();
    bool openedElsewhere = true;
    std::thread([&] { made->openDevice(2, &openedElsewhere); }).join();
    EXPECT_FALSE(openedElsewhere);
    EXPECT_EQ(made->lastErrorCode(), LxAbstractPlugin::ErrorCode::WrongThread);
    EXPECT_TRUE(made->isTurntableOpened()) << "the open device stays";
    made->SetCountsPerRevolution(72);
    made->setDelaySeconds(0.0f, 0.0f);
    unsigned short captures = 1;
    made->LxTurntableHardware::complete360ProductPhotographyWillStart(&captures, nullptr);
    ASSERT_TRUE(made->rotateDeviceToAngle(45.0f));
    // rig() hands the table what the chip has clocked out by now.
    const auto steps = [] {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable().steps();
    };
    EXPECT_TRUE(processEventsUntil([&] { return steps() == 9; })) << "the step's timer ran";

    std::thread([&] { made->closeDevice(); }).join();
    EXPECT_TRUE(processEventsUntil([&] { return !made->isTurntableOpened(); }));
    EXPECT_FALSE(chipStats().open);

    // A thread without an event loop (a console program's) cannot be handed
    // the close: it is carried out at once.
    std::unique_ptr<LxKalveraTurntableControl> console;
    std::thread([&] {
        console = std::make_unique<LxKalveraTurntableControl>();
        console->availableDevices();
        console->openDevice(0, &opened);
    }).join();
    ASSERT_TRUE(opened);
    std::thread([&] { console->closeDevice(); }).join();
    EXPECT_FALSE(console->isTurntableOpened());
    EXPECT_FALSE(chipStats().open);
}

TEST_F(Controller, TheStepTimeIsBoundedAndAStopCloseOrDestroyCutsTheStepShort) {
    constexpr unsigned int longest = LxKalveraTurntableControl::MAXIMUM_STEP_TIME_MS;
    ASSERT_FALSE(control.availableDevices().empty());
    ASSERT_TRUE(open(2));
    control.SetRotationSpeed(UINT_MAX); // what a typed -1 becomes
    ASSERT_EQ(control.rotationSpeed(), longest) << "the step time the moves use";
    control.SetRotationSpeed(longest);
    EXPECT_EQ(control.rotationSpeed(), longest);
    control.SetRotationSpeed(10);
    EXPECT_EQ(control.rotationSpeed(), 10u);

    const auto startALongStep = [](LxKalveraTurntableControl& table) {
        const auto rig = Bus::instance().rig(Bus::instance().devices().at(0));
        const auto stepsBefore = rig->stepperTable().steps();
        table.SetRotationSpeed(UINT_MAX);
        table.SetRotationIncrementInCounts(0);
        ASSERT_TRUE(table.startRotation());
        // Into the high phase of the first step.
        while (rig->stepperTable().steps() == stepsBefore) {
            std::this_thread::sleep_for(1ms);
        }
    };
    const auto timed = [](auto&& end) {
        const auto start = Clock::now();
        end();
        return Clock::now() - start;
    };
    startALongStep(control);
    EXPECT_LT(timed([this] { control.stopsSpinning(); }), 2s);
    EXPECT_FALSE(control.IsTurntableRotating());
    startALongStep(control);
    EXPECT_LT(timed([this] { control.closeDevice(); }), 2s);
    EXPECT_FALSE(chipStats().open);

    auto owned = std::make_unique<LxKalveraTurntableControl>();
    ASSERT_FALSE(owned->availableDevices().empty());
    bool opened = false;
    owned->openDevice(2, &opened);
    ASSERT_TRUE(opened);
    startALongStep(*owned);
    EXPECT_LT(timed([&owned] { owned.reset(); }), 2s);
    EXPECT_FALSE(chipStats().open);
}

} // namespace

// What KalveraTurntable refuses.
#include "KalveraTurntable.h"
#include "LxAbstractPlugin.h"

#include "ProcessEventsUntil.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using ftdisim::Bus;
using namespace std::chrono_literals;
using ErrorCode = LxAbstractPlugin::ErrorCode;

namespace {

// "Custom", 72 steps a turn, on the simulated bus; the errors and captures
// the object told.
class KalveraTurntableRefusalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bus::instance().reset();
        turntable = std::make_unique<KalveraTurntable>();
        QObject::connect(turntable.get(), &KalveraTurntable::errorOccurred,
                         [this](int code, const QString& text) {
                             errors.push_back({static_cast<ErrorCode>(code), text});
                         });
        QObject::connect(turntable.get(), &KalveraTurntable::captureReady,
                         [this](int index) { captures.push_back(index); });
        QObject::connect(turntable.get(), &KalveraTurntable::shootFinished, [this] { ++finished; });
        turntable->findTurntables();
        turntable->open(0);
        ASSERT_TRUE(processEventsUntil([this] { return turntable->isOpened(); }))
            << turntable->lastError().toStdString();
    }
    void TearDown() override {
        turntable.reset();
        Bus::instance().reset();
    }

    static ftdisim::StepperTable& table() {
        return Bus::instance().rig(Bus::instance().devices().at(0))->stepperTable();
    }
    static LxShootPlan plan() {
        LxShootPlan plan;
        plan.frames = 4;
        plan.countsPerRevolution = 72;
        plan.clockwiseActiveHigh = true;
        plan.motorEnableActiveHigh = true;
        plan.speed = 0;
        return plan;
    }

    struct Error {
        ErrorCode code;
        QString text;
    };
    std::unique_ptr<KalveraTurntable> turntable;
    std::vector<Error> errors;
    std::vector<int> captures;
    int finished = 0;
};

TEST_F(KalveraTurntableRefusalsTest, AShootRefusesWhatWouldMoveTheTableUnderIt) {
    turntable->startShoot(plan());
    ASSERT_TRUE(processEventsUntil([&] { return captures.size() == 1u; }, 10s));
    turntable->rotateBy(45.0);
    turntable->rotateTo(90.0);
    turntable->rotateCounts(3);
    turntable->turnContinuously(true);
    turntable->fireShutter();
    turntable->applySettings(plan());
    turntable->open(0);
    turntable->startShoot(plan());
    ASSERT_TRUE(processEventsUntil([&] { return errors.size() == 8u; }, 10s));
    processEventsUntil([] { return false; }, 300ms);

    for (const Error& error : errors) {
        EXPECT_EQ(error.code, ErrorCode::ShootRunning);
        EXPECT_EQ(error.text, "A 360 product photography shoot is running. Let it end or stop "
                              "it first.");
    }
    EXPECT_EQ(table().steps(), 0u);
    EXPECT_EQ(captures, std::vector<int>{1}) << "no move's end taken for the shoot's";
    EXPECT_EQ(turntable->model(), 0);

    // The shoot goes on from where it waited.
    turntable->captureTaken();
    ASSERT_TRUE(processEventsUntil([&] { return captures.size() == 2u; }, 10s));
    EXPECT_EQ(table().position(), -18);
    turntable->stopShoot();
    ASSERT_TRUE(processEventsUntil([&] { return finished == 1; }, 10s));
}

TEST_F(KalveraTurntableRefusalsTest, ARefusedOpenKeepsTheOpenTurntableAndItsModel) {
    int modelChanges = 0;
    QObject::connect(turntable.get(), &KalveraTurntable::modelChanged, [&] { ++modelChanges; });
    turntable->open(8);
    turntable->applySettings(plan());
    turntable->rotateCounts(2);
    ASSERT_TRUE(processEventsUntil(
        [&] { return table().position() == 2 && !turntable->isRotating(); }, 10s));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, ErrorCode::InvalidModelIndex);
    EXPECT_TRUE(turntable->isOpened());
    EXPECT_EQ(turntable->model(), 0);
    EXPECT_EQ(modelChanges, 0);
}

} // namespace

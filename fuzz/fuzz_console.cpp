// Fuzz target: any bytes as the console program's standard input. The
// dialogue runs on a stand-in turntable that plans every move with the SDK's
// own rotation bookkeeping but turns nothing, so no input starts a real move
// of minutes. Beyond the sanitizers, the stand-in checks what a table would
// have been asked to do: no move while one runs, no move left running at the
// end, only finite positions within a turn and a positive count per move.
#include "ConsoleDialogue.h"
#include "ConsoleTurntable.h"
#include "LxFTDIController.h"
#include "LxTurntableModels.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "console fuzz: %s\n", what);
    std::abort();
}

// The SDK's bookkeeping without a chip: a move is planned by the real code
// and ends at once where it was planned to.
class Bookkeeping : public LxFTDIController {
public:
    bool triggerShutterRelease() override { return true; }
    bool Initialize() override { return true; }
    void arrive() { globalPositionInDegrees = nextGlobalPositionInDegrees; }

protected:
    unsigned char pinDirections() const override { return 0; }
    void writeOpeningPins() override {}
    void runMove() override {}
};

// Model 0 ("Custom") has no counts per revolution until the user gives them;
// the last model stands for a table that does not open.
class StandInTurntable : public ConsoleTurntable {
public:
    std::list<std::string> availableDevices() const override {
        std::list<std::string> names;
        for (const LxTurntableModel& model : turntableModels) {
            names.emplace_back(model.name);
        }
        return names;
    }
    bool openDevice(unsigned long model) override {
        if (model > 7) {
            fail("a model past the list was opened");
        }
        open = model != 7;
        if (open && model != 0) {
            table.SetCountsPerRevolution(19520);
        }
        return open;
    }
    QString lastError() const override { return QStringLiteral("Device not found"); }
    LxAbstractPlugin::ErrorCode lastErrorCode() const override {
        return LxAbstractPlugin::ErrorCode::DeviceNotFound;
    }
    void closeDevice() override {
        if (continuousRotation) {
            fail("the device was closed with a continuous rotation running");
        }
        open = false;
        closed = true;
    }

    unsigned int countsPerRevolution() const override { return table.CountsPerRevolution(); }
    void SetCountsPerRevolution(unsigned int counts) override {
        standingTable().SetCountsPerRevolution(counts);
    }
    void SetMotorEnableActiveHigh(bool high) override {
        standingTable().SetMotorEnableActiveHigh(high);
    }
    void SetClockwiseActiveHigh(bool high) override {
        standingTable().SetClockwiseActiveHigh(high);
    }
    void SetLockMotorWhenIdle(bool lock) override { standingTable().SetLockMotorWhenIdle(lock); }
    void SetChipClockedStepTrains(bool on) override {
        standingTable().SetChipClockedStepTrains(on);
    }
    bool isChipClockedStepTrains() const override { return table.isChipClockedStepTrains(); }
    int chipByteClockFactor() const override { return 0; }
    QString chipByteClockProblem() const override { return {}; }
    void SetRotationSpeed(unsigned int speed) override { standingTable().SetRotationSpeed(speed); }
    void SetRotationClockwise() override { standingTable().SetRotationClockwise(); }
    void SetRotationCounterClockwise() override { standingTable().SetRotationCounterClockwise(); }
    void SetRotationIncrementInCounts(int counts) override {
        const int planned = standingTable().SetRotationIncrementInCounts(counts);
        if (counts != 0 && table.CountsPerRevolution() != 0 && planned <= 0) {
            fail("a count rotation planned no counts");
        }
    }
    void SetRotationIncrementInDegrees(double degrees) override {
        standingTable().SetRotationIncrementInDegrees(degrees);
        checkPlan();
    }
    void SetRotationNextGlobalPositionInDegrees(double degrees) override {
        standingTable().SetRotationNextGlobalPositionInDegrees(degrees);
        checkPlan();
    }
    void SetRotationGlobalOriginHere() override { standingTable().SetRotationGlobalOriginHere(); }

    bool startRotation() override {
        if (!open || !table.isMovePlanned()) {
            return false;
        }
        standingTable();
        if (table.RotationIncrementInCounts() == 0) {
            continuousRotation = true;
        } else {
            table.arrive();
            // Seen turning at one look, so the waiting dots are printed too.
            turningLooks = 1;
        }
        return true;
    }
    bool IsTurntableRotating() override {
        if (continuousRotation) {
            fail("a continuous rotation was waited for as if it would end");
        }
        return turningLooks-- > 0;
    }
    void stopRotation() override { continuousRotation = false; }
    void shutterReleaseCameraHardware() override { standingTable(); }

    bool wasClosed() const { return closed; }

private:
    // Settings, plans and the shutter, which shares the chip with the
    // rotation, may be asked for only while the table stands.
    Bookkeeping& standingTable() {
        if (continuousRotation) {
            fail("the table was given new settings while it turned");
        }
        return table;
    }
    void checkPlan() const {
        const double next = table.NextGlobalPositionInDegrees();
        if (!std::isfinite(next) || std::fabs(next) >= 360.0) {
            fail("a move was planned to a position outside one turn");
        }
        if (table.isMovePlanned() && table.RotationIncrementInCounts() <= 0) {
            fail("a move was planned without counts");
        }
    }

    Bookkeeping table;
    bool open = false;
    bool closed = false;
    bool continuousRotation = false;
    int turningLooks = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    StandInTurntable turntable;
    const int status = runConsoleDialogue(turntable, in, out, std::chrono::milliseconds(0));
    if (status != 0 && status != 1) {
        fail("an exit status other than 0 or 1");
    }
    if (status == 0 && !turntable.wasClosed()) {
        fail("the dialogue ended without closing the device");
    }
    return 0;
}

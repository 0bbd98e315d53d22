#ifndef RELIABILITYTEST_H
#define RELIABILITYTEST_H

#include "LxKalveraTurntableControl.h"
#include "LxThreadMailbox.h"
#include "ViewTest.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

// What the SDK told the host, in the order it did.
struct HostNotice {
    enum Kind { Opened, Disconnected, RotationStopped };
    Kind kind;
    LxTurntableHardware* plugin;
    unsigned long model;
};

// The host's side of a shoot on one controller: every turntableRotationStopped
// for that controller posts the next step to the test's event-loop thread, as
// a host does, until the step that returns false.
class ShootingHost {
public:
    explicit ShootingHost(LxKalveraTurntableControl& control);

    void start(std::vector<float> angles);
    // From the rotation thread.
    void rotationStopped() { steps.send(0); }
    bool finished() const { return done; }
    // The steps taken so far, the first included.
    std::size_t stepsTaken() const { return next; }

private:
    void nextStep();

    LxKalveraTurntableControl& control;
    LxThreadMailbox steps{[this](int) { nextStep(); }};
    std::vector<float> angles;
    std::size_t next = 0;
    std::atomic<bool> done{false};
};

// A host on a fresh simulated bus: the view test's controller and data
// directory, the three host callbacks recorded, and checks that every test
// ends with no thread of the SDK left running.
class ReliabilityTest : public ViewTest {
protected:
    void SetUp() override;
    void TearDown() override;

    static int threadCount();
    // Resident set size in bytes.
    static long residentBytes();
    // Waits, with the event loop running, until the process has no more
    // threads than at the start of the test.
    bool threadsBackToStart(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::vector<HostNotice> notices(LxTurntableHardware* plugin) const;
    std::size_t noticeCount(HostNotice::Kind kind, LxTurntableHardware* plugin) const;
    // The host's shoot of `control`; one per controller.
    ShootingHost& hostOf(LxKalveraTurntableControl& control);
    // The host gives up its shoot: steps still on their way are dropped.
    void dropHost(LxTurntableHardware* plugin);

    // Opens model `model` through the host's entry on the chip the search finds.
    bool openModel(LxKalveraTurntableControl& control, unsigned long model);
    // The view, its settings and the plan, as the host starts a shoot.
    bool planShoot(const QVariantMap& settings);
    // A short move after a fault: `counts` clockwise, to its end; true if the
    // table turned them.
    bool shortMoveWorks(LxKalveraTurntableControl& control, ftdisim::DeviceId chip, int counts);

    static ftdisim::Bus& bus() { return ftdisim::Bus::instance(); }
    static ftdisim::DeviceId chip(std::size_t index = 0) { return bus().devices().at(index); }
    static ftdisim::TurntableRig& rig(ftdisim::DeviceId device) { return *bus().rig(device); }

    static constexpr auto kChipLostText =
        "The turntable does not answer. Check its USB connection and open it again.";

private:
    int threadsAtStart = 0;
    mutable std::mutex mutex;
    std::vector<HostNotice> log;
    std::map<LxTurntableHardware*, std::unique_ptr<ShootingHost>> hosts;
};

// A shoot's settings as the view hands them over: `frames` captures, the delays
// in seconds, and a "Custom" table of `counts` steps per revolution at full speed.
QVariantMap shootSettings(int frames, int counts, double preDelay = 0.0, double postDelay = 0.0,
                          bool shutter = false);
std::vector<float> evenAngles(int frames);

#endif

// 36-frame 360-degree shoots on the simulated stepper table, driven as a
// host drives it: the settings view, the plan, and one rotateDeviceToAngle
// per capture, taken on the host's thread once the notice of the move before
// has been handed over from the rotation thread. Compares the wall time with
// what the protocol mandates (post-capture delay, steps of P + 1 ms,
// pre-capture delay per frame) and times the hand-overs, on the ideal bus, on
// the full-speed one, and there with chip-clocked step trains.
//
//   bench_sequence
#include "BenchBus.h"
#include "BenchStats.h"
#include "LxD2xxBackend.h"
#include "LxKalveraTurntableControl.h"
#include "LxSettingsKeys.h"
#include "LxThreadMailbox.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QVariantMap>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

using Clock = std::chrono::steady_clock;
using Private = LxTurntableHardware::TurntableHardwarePrivate;

namespace {

constexpr int kFrames = 36;
constexpr double kPreDelayMs = 100;
constexpr double kPostDelayMs = 100;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

struct ShootFigures {
    double wallMs = 0, mandatedMs = 0, cpuPerSecond = 0;
    BenchStats startLatency, move, noticeLatency, handOver;
};

// What the rotation thread saw at each notice.
struct Notice {
    Clock::time_point time;
    unsigned long long stepsSoFar;
};

ShootFigures shoot(const BenchBus& on, unsigned stepTime, int countsPerRevolution) {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    const auto load = resetBus(on);
    std::mutex mutex;
    std::vector<Notice> notices;
    std::vector<Clock::time_point> calls, receipts;
    // The host's event loop, which runs until the step that ends the shoot.
    QEventLoop hostLoop;
    auto control = std::make_unique<LxKalveraTurntableControl>();
    const std::vector<float> angles = [] {
        std::vector<float> result;
        for (int k = 1; k <= kFrames; ++k) {
            result.push_back(360.0f * k / kFrames);
        }
        return result;
    }();
    auto step = [&] {
        const std::size_t next = calls.size();
        calls.push_back(Clock::now());
        if (!control->rotateDeviceToAngle(next < angles.size() ? angles[next] : 0.0f)) {
            hostLoop.quit();
        }
    };
    LxThreadMailbox hostThread([&](int) {
        receipts.push_back(Clock::now());
        step();
    });
    Private::turntableRotationStopped = [&](LxTurntableHardware*) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            // rig() lets the table take what the chip clocked out by now.
            notices.push_back({Clock::now(), bus.rig(bus.devices().at(0))->stepperTable().steps()});
        }
        hostThread.send(0);
    };
    Private::hardwareOpenSucceeded = [](LxTurntableHardware*, unsigned long, bool) {};
    Private::hardwareDisconnected = [](LxTurntableHardware*, unsigned long) {};

    control->availableDevices();
    control->setCurrentTurntableIndex(0);
    control->openDevice(0);
    std::unique_ptr<QQuickItem> view(control->createPluginUIFrameView());
    if (!view) {
        std::fprintf(stderr, "no settings view\n");
        std::exit(1);
    }
    view->setProperty("settingsToSave",
                      QVariantMap{{LxSettingsKeys::useCustomAngles, false},
                                  {LxSettingsKeys::framesCountText, QString::number(kFrames)},
                                  {LxSettingsKeys::captureDelaySeconds,
                                   QVariantList{kPreDelayMs / 1000, kPostDelayMs / 1000}},
                                  {LxSettingsKeys::rotationSpeed, 10 - static_cast<int>(stepTime)},
                                  {LxSettingsKeys::isLockTableWhenIdle, true},
                                  {LxSettingsKeys::isPerEdgeStepWrites, !on.chipClocked},
                                  {LxSettingsKeys::triggerShutterRelease, false},
                                  {LxSettingsKeys::customTurntableAdvancedSettings,
                                   QVariantMap{{LxSettingsKeys::stepsPerRevolutionText,
                                                QString::number(countsPerRevolution)},
                                               {LxSettingsKeys::isClockwiseActiveHigh, true},
                                               {LxSettingsKeys::isMotorEnableActiveHigh, true}}}});
    unsigned short count = 0;
    float* planned = nullptr;
    if (!control->complete360ProductPhotographyWillStart(&count, &planned) || count != kFrames) {
        std::fprintf(stderr, "no plan: %s\n", control->lastError().toLocal8Bit().constData());
        std::exit(1);
    }

    const double cpuBefore = processCpuSeconds();
    step();
    hostLoop.exec();
    const Clock::time_point end = receipts.back();
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    control->pluginUIFrameViewWillClose(view.get());
    control.reset();
    Private::turntableRotationStopped = nullptr;

    // rig() lets the table take what the chip still had to clock out.
    const std::vector<Clock::time_point> steps =
        bus.rig(bus.devices().at(0))->stepperTable().stepTimes();
    ShootFigures figures;
    figures.wallMs = milliseconds(end - calls.front());
    figures.cpuPerSecond = cpuSeconds * 1000 / figures.wallMs;
    const double stepsPerFrame = double(countsPerRevolution) / kFrames;
    figures.mandatedMs = kFrames * (kPostDelayMs + stepsPerFrame * (stepTime + 1) + kPreDelayMs);
    std::vector<double> startLatency, move, noticeLatency, handOver;
    unsigned long long stepsBefore = 0;
    for (std::size_t k = 0; k < notices.size() && k < kFrames; ++k) {
        const Notice& notice = notices[k];
        if (notice.stepsSoFar > stepsBefore) {
            startLatency.push_back(milliseconds(steps.at(stepsBefore) - calls[k]) - kPostDelayMs);
            // The first step's own period is in the start latency.
            move.push_back(milliseconds(steps.at(notice.stepsSoFar - 1) - steps.at(stepsBefore)) -
                           (notice.stepsSoFar - stepsBefore - 1) * (stepTime + 1.0));
            noticeLatency.push_back(milliseconds(notice.time - steps.at(notice.stepsSoFar - 1)) -
                                    kPreDelayMs);
        }
        handOver.push_back(milliseconds(receipts[k] - notice.time));
        stepsBefore = notice.stepsSoFar;
    }
    figures.startLatency = summarize(startLatency);
    figures.move = summarize(move);
    figures.noticeLatency = summarize(noticeLatency);
    figures.handOver = summarize(handOver);
    return figures;
}

void printLatency(const char* what, unsigned stepTime, int counts,
                  const std::vector<ShootFigures>& runs, BenchStats ShootFigures::*figure) {
    std::printf("%-46s %2u %6d", what, stepTime, counts);
    for (const ShootFigures& f : runs) {
        const BenchStats& s = f.*figure;
        std::printf(" | %7.3f %7.3f %7.3f %3zu", s.mean, s.p99, s.worst, s.samples);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    LxD2xxBackend::choose("simulator");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dataHome;
    // The settings file the view writes at its close stays out of the user's data.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    QGuiApplication application(argc, argv);

    std::printf("36-frame shoot, pre- and post-capture delays 100 ms (simulated chip)\n");
    printBusHeader(" P  counts   mandated ms", "  wall ms   ratio   CPU s/s");
    struct Row {
        unsigned stepTime;
        int counts;
        std::vector<ShootFigures> figures;
    };
    std::vector<Row> runs;
    for (const auto& [stepTime, counts] :
         {std::pair{0u, 3600}, std::pair{2u, 3600}, std::pair{0u, 19520}}) {
        std::vector<ShootFigures> figures;
        for (const BenchBus& on : kBenchBuses) {
            figures.push_back(shoot(on, stepTime, counts));
        }
        std::printf("%2u %7d %13.1f", stepTime, counts, figures.front().mandatedMs);
        for (const ShootFigures& f : figures) {
            std::printf(" | %9.1f %7.4f %9.3f", f.wallMs, f.wallMs / f.mandatedMs, f.cpuPerSecond);
        }
        std::printf("\n");
        runs.push_back({stepTime, counts, std::move(figures)});
    }
    std::printf("\nLatencies beyond the mandated delays, per frame (ms)\n");
    printBusHeader("                                                P counts",
                   "   mean     p99   worst   n");
    for (const auto& [stepTime, counts, figures] : runs) {
        printLatency("call to first step, beyond post-capture delay", stepTime, counts, figures,
                     &ShootFigures::startLatency);
        printLatency("first to last step, beyond (P + 1) ms a step", stepTime, counts, figures,
                     &ShootFigures::move);
        printLatency("last step to notice, beyond pre-capture delay", stepTime, counts, figures,
                     &ShootFigures::noticeLatency);
        printLatency("notice to host thread (pipe hand-over)", stepTime, counts, figures,
                     &ShootFigures::handOver);
    }
    return 0;
}

// A host that quits while its turntable turns, as one whose window is closed
// mid-move: first a turntable that the application object owns and deletes
// as it ends, then one that outlives the application object and goes when
// main returns. Exits 0 when each left its table standing; a hang, a crash or
// a sanitizer's report fails the test that runs it.
#include "KalveraTurntable.h"

#include <ftdisim/Bus.h>
#include <ftdisim/TurntableRig.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

constexpr int kTableTurns = 3;

// Opens the turntable and turns it; the application's loop ends once it turns.
int turnAndQuit(QCoreApplication& app, KalveraTurntable& turntable) {
    QObject::connect(&turntable, &KalveraTurntable::openedChanged,
                     [&turntable] { turntable.turnContinuously(true); });
    QObject::connect(&turntable, &KalveraTurntable::rotatingChanged, [&turntable] {
        if (turntable.isRotating()) {
            QCoreApplication::quit();
        }
    });
    QObject::connect(&turntable, &KalveraTurntable::errorOccurred,
                     [] { QCoreApplication::exit(2); });
    turntable.findTurntables();
    turntable.open(0);
    return app.exec();
}

bool tableStands() {
    ftdisim::Bus& bus = ftdisim::Bus::instance();
    const ftdisim::StepperTable& table = bus.rig(bus.devices().at(0))->stepperTable();
    const auto steps = table.steps();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return table.steps() == steps;
}

// Checks the table once the turntable declared after it has gone.
struct StandsAtTheEnd {
    ~StandsAtTheEnd() {
        if (!tableStands()) {
            std::_Exit(kTableTurns);
        }
    }
};

} // namespace

int main(int argc, char* argv[]) {
    setenv("KALVERA_TURNTABLE_BACKEND", "simulator", 0);
    {
        QCoreApplication app(argc, argv);
        if (const int failed = turnAndQuit(app, *new KalveraTurntable(&app))) {
            return failed;
        }
    }
    if (!tableStands()) {
        return kTableTurns;
    }

    const StandsAtTheEnd check;
    std::unique_ptr<KalveraTurntable> outliving;
    QCoreApplication app(argc, argv);
    outliving = std::make_unique<KalveraTurntable>();
    return turnAndQuit(app, *outliving);
}

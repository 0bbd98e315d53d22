// The module as a QML host drives it, on the simulated bus: a "Custom" table
// of 72 steps a turn, planned through a settings map.
import QtQuick 2.12
import QtTest 1.2
import Kalvera.Turntable 1.0

TestCase {
    id: testCase
    name: "KalveraTurntableModule"
    when: windowShown
    width: 480
    height: 480

    Component {
        id: turntableComponent
        KalveraTurntable {}
    }
    Component {
        id: viewComponent
        TurntableSettingsView {}
    }
    Component {
        id: spyComponent
        SignalSpy {}
    }

    // 90 degrees take 18 steps of 11 ms.
    readonly property var shortShoot: ({
        framesCountText: "4",
        captureDelaySeconds: [0, 0],
        rotationSpeed: 0,
        customTurntableAdvancedSettings: {
            stepsPerRevolutionText: "72",
            isClockwiseActiveHigh: true,
            isMotorEnableActiveHigh: true
        }
    })
    property var table: null

    function spy(signalName) {
        return createTemporaryObject(spyComponent, testCase, {target: table, signalName: signalName});
    }

    function init() {
        table = createTemporaryObject(turntableComponent, testCase);
        table.findTurntables();
        table.open(0);
        tryCompare(table, "opened", true, 5000, table.lastError);
    }

    function test_aShootTellsEachCaptureAndFinishes() {
        var ready = spy("captureReady");
        var finished = spy("shootFinished");
        table.captureReady.connect(function (index, angle) {
            compare(table.rotating, false);
            table.captureTaken();
        });
        table.startShoot(shortShoot);
        finished.wait(20000);
        compare(finished.signalArguments[0][0], true);
        compare(ready.count, 4);
        for (var k = 0; k < 4; ++k) {
            compare(ready.signalArguments[k][0], k + 1);
            compare(ready.signalArguments[k][1], 90 * k);
        }
        compare(table.shoot, KalveraTurntable.Idle);
    }

    function test_aMoveTellsItsPositionsThenItsEnd() {
        // 180 degrees in 72 steps of 11 ms: a position told every 100 ms
        // gives some 8 changes; 3 leave room for a busy machine.
        var slow = Object.assign({}, shortShoot, {
            customTurntableAdvancedSettings: Object.assign(
                {}, shortShoot.customTurntableAdvancedSettings, {stepsPerRevolutionText: "144"})
        });
        table.applySettings(slow);
        var positions = spy("positionChanged");
        var ended = spy("moveEnded");
        table.rotateBy(180);
        ended.wait(10000);
        verify(positions.count >= 3, "positions during the move: " + positions.count);
        fuzzyCompare(table.position, 180, 0.01);
        compare(table.rotating, false);
    }

    function test_stopShootEndsTheShootUnfinished() {
        var ready = spy("captureReady");
        var finished = spy("shootFinished");
        table.startShoot(shortShoot);
        ready.wait(5000);
        table.captureTaken();
        table.stopShoot();
        finished.wait(10000);
        compare(finished.signalArguments[0][0], false);
        compare(table.shoot, KalveraTurntable.Idle);
        wait(300);
        compare(ready.count, 1, "no capture after the stop");
    }

    function test_theSettingsViewPlansAndDrivesItsTurntable() {
        var given = Object.assign({CustomAnglesList: ["45", "135"]}, shortShoot);
        var view = createTemporaryObject(viewComponent, testCase, {turntable: table, settings: given});
        verify(view.implicitHeight > 0, "the view's item is shown");
        var settings = view.settings;
        compare(settings.framesCountText, "4");
        compare(settings.customTurntableAdvancedSettings.stepsPerRevolutionText, "72");
        compare(settings.CustomAnglesList, ["45", "135"]);

        var finished = spy("shootFinished");
        table.autoAdvance = true;
        table.startShoot(view.settings);
        finished.wait(20000);
        compare(finished.signalArguments[0][0], true);

        var ended = spy("moveEnded");
        var turn = findChild(view, "previewTurnButton");
        // The view asks from time to time whether a shoot runs.
        tryVerify(function () { return turn.enabled; }, 2000);
        turn.clicked();
        ended.wait(10000);
        fuzzyCompare(table.position, 90, 0.01); // clockwise from the start of the shoot

        // "Custom" takes a standard model's motor settings from the model table.
        var importButton = findChild(view, "importButton");
        tryVerify(function () { return importButton.enabled; }, 2000);
        findChild(view, "importModelBox").currentIndex = 4; // "Facet"
        importButton.clicked();
        tryCompare(findChild(view, "stepsPerRevolutionField"), "text", "6400");
        compare(view.settings.customTurntableAdvancedSettings.isClockwiseActiveHigh, false);
    }
}

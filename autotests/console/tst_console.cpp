// The console program KalveraTurntableTest, run as a subprocess on the
// simulated bus (set up through the FTDISIM_* variables) with scripted
// standard input. Its whole standard output is compared with the dialogue.
#include "ConsoleProgram.h"
#include "NextSteps.h"
#include "TestPath.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kModels = "Press '0' to open Custom\n"
                            "Press '1' to open Standard\n"
                            "Press '2' to open Tessel M\n"
                            "Press '3' to open Tessel L\n"
                            "Press '4' to open Tessel XL\n"
                            "Press '5' to open Facet\n"
                            "Press '6' to open Quarry L\n"
                            "Press '7' to open Quarry M\n"
                            "Press '-1' to exit from test application\n";
const std::string kCustomSettings = "*** Let's set some global settings: ***1\n"
                                    "Enter counts per revolution:\n"
                                    "Motor enable: 0 -- active low or 1 -- active high\n"
                                    "Clockwise: 0 -- active low or 1 -- active high\n";
const std::string kLockAndSpeed = "Lock when idle: 0 -- unlock or 1 -- lock\n"
                                  "Enter speed:\n";
const std::string kMenu = "Main Menu\n"
                          "1. Count Rotation\n"
                          "2. Degrees Rotation\n"
                          "3. Continuous Rotation\n"
                          "4. Absolute Angle Rotation\n"
                          "5. Shutter Release Trigger\n"
                          "6. Exit Application\n";
const std::string kCountPrompts = "Count Rotation Sub-Menu\n"
                                  "- Enter number of steps for a single rotation:\n";
const std::string kDegreesPrompts = "Degrees Rotation Sub-Menu\n"
                                    "- Enter number of degrees for a single rotation:\n";
const std::string kPositionPrompts = "- Enter global position in degrees:\n"
                                     "- Enter zero to set origin here\n"
                                     "- Enter any other number to use last set origin\n";
const std::string kDirectionPrompt =
    "Enter direction: '1' for clockwise or '-1' for counterclockwise\n";
// As it reads once the waiting dots are taken out.
const std::string kRotated = "Rotating the turntable.Turntable is stopped.\n";
const std::string kStopPrompt = "Enter \"stop\" to stop the continous rotation\n";

// What the open of a stepper model says: the chip's clock as measured on the
// simulated bus, whose factor the environment may set, and the default step
// trains.
const std::string kSteppersTimed =
    "The chip clocks " +
    std::to_string(qEnvironmentVariableIsEmpty("FTDISIM_BYTE_CLOCK_FACTOR")
                       ? 16
                       : qEnvironmentVariableIntValue("FTDISIM_BYTE_CLOCK_FACTOR")) +
    " bit-bang bytes per baud period.\nStepper moves run as chip-clocked step trains.\n";

// Opens "Custom" with 72 counts per revolution, active-low lines, no lock and
// the shortest step time, so that moves are short.
const std::string kOpenCustom = "0\n72\n0\n0\n0\n0\n";
const std::string kCustomOpened =
    kModels + "Trying to open Custom...\n" + kSteppersTimed + kCustomSettings + kLockAndSpeed;

using Environment = std::vector<std::pair<QString, QString>>;

struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    std::string rawOutput;
    // Without the dots printed while waiting for the table.
    std::string output;
    std::string errors;
};

// Their number depends on the machine's speed: the dots that follow
// "Rotating the turntable." and those at the start of a line (an absolute
// move's, running on into the next menu) go.
std::string withoutWaitingDots(const std::string& text) {
    static const std::string rotating = "Rotating the turntable.";
    std::string result;
    result.reserve(text.size() < 65536 ? text.size() : 65536);
    for (char c : text) {
        const bool atLineStart = result.empty() || result.back() == '\n';
        const bool afterRotating =
            result.size() >= rotating.size() &&
            result.compare(result.size() - rotating.size(), rotating.size(), rotating) == 0;
        if (c == '.' && (atLineStart || afterRotating)) {
            continue;
        }
        result += c;
    }
    return result;
}

// Runs the program with `input` as its standard input, on a bus of one
// unopened FT245R or on the one `environment` describes.
ProgramRun runConsole(const std::string& input, InputEnd end = InputEnd::KeptOpen,
                      const Environment& environment = {}, const QStringList& arguments = {}) {
    QProcessEnvironment processEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"FTDISIM_DEVICES", "FTDISIM_OPEN_STATUS", "FTDISIM_DC_COUNT_MS"}) {
        processEnvironment.remove(QString::fromLatin1(name));
    }
    for (const auto& [name, value] : environment) {
        processEnvironment.insert(name, value);
    }
    const ProgramResult result = runProgram(QStringLiteral(KALVERA_CONSOLE_PROGRAM), input, end,
                                            processEnvironment, arguments);
    return {result.finished, result.exitCode, result.output, withoutWaitingDots(result.output),
            result.errors};
}

// The dialogue's `output`, after the line that names the backend of the run.
void expectRun(const ProgramRun& run, int exitCode, const std::string& output) {
    ASSERT_TRUE(run.finished) << "the program did not end; output so far:\n" << run.output;
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_EQ(run.output, testpath::backendNotice() + output);
    EXPECT_EQ(run.errors, "");
}

// The rule's line as this machine has the rule: the packages' place, the
// place for a rule installed by hand, or none.
std::string nextStepsRuleLine() {
    for (const char* place : {"/lib/udev/rules.d/60-kalvera-turntable.rules",
                              "/etc/udev/rules.d/60-kalvera-turntable.rules"}) {
        if (QFile::exists(QLatin1String(place))) {
            return std::string("- the udev rule is installed as ") + place +
                   "; if it came after the turntable, run: sudo udevadm control --reload-rules\n";
        }
    }
    return "- the udev rule is not installed: install the package "
           "libkalveraturntablesdk-backends, or from the SDK's source run: sudo install -m 644 "
           "packaging/udev/60-kalvera-turntable.rules /etc/udev/rules.d/\n";
}

TEST(ConsoleStart, NegativeChoicesExitAndChoicesPastTheListAreReadAgain) {
    for (const std::string input : {"-1\n0\n", "-5\n0\n", "8\n-5\n0\n", "8\n100\n-1\n0\n"}) {
        SCOPED_TRACE(input);
        expectRun(runConsole(input), 0, kModels);
    }
}

TEST(ConsoleStart, AWordOpensTheFirstModel) {
    // The recovery takes "word"; the line end left over is a blank.
    expectRun(runConsole("word\n72\n0\n0\n0\n0\n6\n"), 0, kCustomOpened + kMenu);
}

TEST(ConsoleStart, WithoutAFreeChipOnlyExitIsOfferedWithTheReason) {
    const std::string notFound = "The turntable device cannot be found.\n\n"
                                 "- make sure driver is installed\n"
                                 "- make sure turntable is powered on\n"
                                 "- make sure turntable is connected via USB\n";
    const std::string cannotOpen =
        "The turntable's USB chip is attached but cannot be opened: another program or driver "
        "holds it, or this user may not open it.\n\n"
        "- close other programs that use the turntable\n"
        "- on Linux, install the udev rule 60-kalvera-turntable.rules into /etc/udev/rules.d/ and "
        "plug the turntable in again\n";
    // On a real chip's backend the next steps follow: the rule and the
    // access to the chip matter only for a chip that is there.
    const std::string steps = "\nNext steps on Linux, which needs no driver for the chip:\n";
    const std::string replug = "- unplug the turntable's USB cable and plug it in again\n"
                               "- to try this program without a turntable: --backend simulator\n";
    const std::string access =
        "- the rule lets in the user logged in at the machine's own seat, and members of the "
        "group plugdev: sudo adduser $USER plugdev, then log in again\n";
    const bool realChip = testpath::onUsbLevelSimulation();
    const std::string notFoundSteps = realChip ? steps + replug : "";
    const std::string cannotOpenSteps =
        realChip ? steps + nextStepsRuleLine() + access + replug : "";
    std::vector<std::pair<QString, std::string>> buses = {
        {QString(), notFound + notFoundSteps},
        {QStringLiteral("FT245R USB FIFO,KT1,noaccess"), cannotOpen + cannotOpenSteps},
        {QStringLiteral("FT232R"), notFound + notFoundSteps}};
    if (testpath::listFlagsDevicesOpenElsewhere()) {
        buses.emplace_back(QStringLiteral("FT245R USB FIFO,KT1,opened"),
                           cannotOpen + cannotOpenSteps);
    }
    for (const auto& [devices, reason] : buses) {
        SCOPED_TRACE(devices.toStdString());
        expectRun(runConsole("0\n1\n-1\n", InputEnd::KeptOpen,
                             {{QStringLiteral("FTDISIM_DEVICES"), devices}}),
                  0,
                  "No available connected turntable found.\n" + reason +
                      "Press '-1' to exit from test application\n");
    }
}

TEST(ConsoleStart, OpenFailureShowsTheDriverTextAndEndsWithStatusOne) {
    const struct {
        const char* input;
        const char* status;
        std::string output;
    } cases[] = {
        {"0\n6\n", "3", "Trying to open Custom...\n\nTurntable error ...\nDevice not opened\n"},
        {"1\n6\n", "4", "Trying to open Standard...\n\nTurntable error ...\nIO Error\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        expectRun(
            runConsole(c.input, InputEnd::KeptOpen,
                       {{QStringLiteral("FTDISIM_OPEN_STATUS"), QString::fromLatin1(c.status)}}),
            1, kModels + c.output);
    }
}

TEST(ConsoleSettings, OnlyAModelWithoutCountsAsksForTheMotorSettings) {
    expectRun(runConsole(kOpenCustom + "6\n"), 0, kCustomOpened + kMenu);
    for (const std::string name : {"Standard", "Facet"}) {
        SCOPED_TRACE(name);
        const std::string choice = name == "Standard" ? "1" : "5";
        expectRun(runConsole(choice + "\n0\n0\n6\n"), 0,
                  kModels + "Trying to open " + name + "...\n" +
                      (name == "Standard" ? "" : kSteppersTimed) + kLockAndSpeed + kMenu);
    }
}

TEST(ConsoleSettings, ASpeedOfMinusOneStillLetsMovesEnd) {
    // -1 becomes the slowest step time the SDK takes, 10 s: the stop cuts a
    // step short, a one-step count rotation lasts it.
    const std::string openSlowest = "0\n72\n0\n0\n0\n-1\n";
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = runConsole(openSlowest + "3\n1\nstop\n1\n1\n1\n6\n");
    expectRun(run, 0,
              kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt + kMenu + kCountPrompts +
                  kDirectionPrompt + kRotated + kMenu);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(ConsoleMenu, CountRotationPrintsDotsUntilTheTableHasStopped) {
    // Moves of a fifth of a second or more: the first poll, right after the
    // start, finds them running even on a busy machine.
    const struct {
        std::string name;
        std::string input;
        std::string opened;
    } tables[] = {
        // One count of the DC table: 120 ms of turning between the driver's 100 ms checks.
        {"Standard", "1\n0\n0\n1\n1\n1\n6\n",
         kModels + "Trying to open Standard...\n" + kLockAndSpeed},
        // 72 steps of 3 ms.
        {"Custom", "0\n72\n0\n0\n0\n2\n1\n72\n-1\n6\n", kCustomOpened},
    };
    for (const auto& table : tables) {
        SCOPED_TRACE(table.name);
        const ProgramRun run = runConsole(table.input);
        expectRun(run, 0,
                  table.opened + kMenu + kCountPrompts + kDirectionPrompt + kRotated + kMenu);
        const std::string rotating = "Rotating the turntable.";
        const std::size_t start = run.rawOutput.find(rotating);
        ASSERT_NE(start, std::string::npos);
        EXPECT_EQ(run.rawOutput.at(start + rotating.size()), '.') << "no dot while it turned";
    }
}

TEST(ConsoleMenu, EveryCommandShowsItsDialogue) {
    const std::string input = kOpenCustom +
                              // 5 counts counterclockwise
                              "1\n5\n-1\n"
                              // 10 degrees, and one under half a count, which turns nothing
                              "2\n10\n1\n2\n1\n-1\n"
                              // to 90 degrees from here; to -45 from that origin; a word
                              // at the origin prompt reads as 0, a new origin
                              "4\n90\n0\n1\n4\n-45\n7\n-1\n4\n30\nzero\n1\n"
                              // the shutter asks nothing
                              "5\n"
                              // until "stop", words are ignored
                              "3\n-1\nstopp\n6\nstop\n"
                              "6\n";
    const std::string absoluteMove = kMenu + kPositionPrompts + kDirectionPrompt;
    expectRun(runConsole(input), 0,
              kCustomOpened +                                             //
                  kMenu + kCountPrompts + kDirectionPrompt + kRotated +   //
                  kMenu + kDegreesPrompts + kDirectionPrompt + kRotated + //
                  kMenu + kDegreesPrompts + kDirectionPrompt + kRotated + //
                  absoluteMove + absoluteMove + absoluteMove +            //
                  kMenu +                                                 //
                  kMenu + kDirectionPrompt + kStopPrompt +                //
                  kMenu);
}

TEST(ConsoleMenu, ACountRotationThatCannotEndTurnsNothing) {
    // 0 counts, or a word read as 0, would be a rotation without end.
    expectRun(runConsole(kOpenCustom + "1\n0\n1\n1\nnone\n1\n6\n"), 0,
              kCustomOpened + kMenu + kCountPrompts + kDirectionPrompt + kRotated + kMenu +
                  kCountPrompts + kDirectionPrompt + kRotated + kMenu);
    // Without counts per revolution no count rotation is planned.
    expectRun(runConsole("0\n0\n0\n0\n0\n0\n1\n5\n1\n6\n"), 0,
              kCustomOpened + kMenu + kCountPrompts + kDirectionPrompt + kRotated + kMenu);
}

TEST(ConsoleMenu, AContinuousRotationNeedsNoCountsPerRevolution) {
    expectRun(runConsole("0\n0\n0\n0\n0\n0\n3\n-1\nstop\n6\n"), 0,
              kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt + kMenu);
}

TEST(ConsoleMenu, DirectionPromptRereadsAnythingButOneAndMinusOneSilently) {
    // The recovery after "nope" takes exactly that word.
    expectRun(runConsole(kOpenCustom + "1\n3\n0\n2\n-2\nnope\n-1\n6\n"), 0,
              kCustomOpened + kMenu + kCountPrompts + kDirectionPrompt + kRotated + kMenu);
}

TEST(ConsoleMenu, OnlyTheLowerCaseWordStopsAContinuousRotation) {
    expectRun(runConsole(kOpenCustom + "3\n1\nStop\nSTOP\nstop\n6\n"), 0,
              kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt + kMenu);
    // Had "Stop" stopped the table, the menu would have been shown again.
    expectRun(runConsole(kOpenCustom + "3\n1\nStop\nSTOP\n6\n", InputEnd::Closed), 0,
              kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt);
}

TEST(ConsoleMenu, AMistypedCommandAlsoTakesTheStartOfTheNextLine) {
    // "x" and its line end are 2 of the 4 characters dropped.
    expectRun(runConsole(kOpenCustom + "x\n3\n6\n"), 0, kCustomOpened + kMenu);
    // So "153" is read as 3.
    expectRun(runConsole(kOpenCustom + "x\n153\n1\nstop\n6\n"), 0,
              kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt + kMenu);
}

TEST(ConsoleEndOfInput, EndsTheProgramAsExitWouldAtEveryPrompt) {
    const struct {
        const char* prompt;
        std::string input;
        std::string output;
    } cases[] = {
        {"model", "", kModels},
        {"model, after a word", "Custom", kCustomOpened + kMenu},
        {"settings", "0\n72\n", kCustomOpened + kMenu},
        {"menu", kOpenCustom, kCustomOpened + kMenu},
        {"menu, after a word", kOpenCustom + "x", kCustomOpened + kMenu},
        {"counts", kOpenCustom + "1\n", kCustomOpened + kMenu + kCountPrompts + kDirectionPrompt},
        {"degrees", kOpenCustom + "2\n",
         kCustomOpened + kMenu + kDegreesPrompts + kDirectionPrompt},
        {"position", kOpenCustom + "4\n", kCustomOpened + kMenu + kPositionPrompts},
        {"origin", kOpenCustom + "4\n90\n", kCustomOpened + kMenu + kPositionPrompts},
        {"origin, no line end", kOpenCustom + "4\n90", kCustomOpened + kMenu + kPositionPrompts},
        {"direction", kOpenCustom + "1\n5\n0\n",
         kCustomOpened + kMenu + kCountPrompts + kDirectionPrompt},
        {"stop", kOpenCustom + "3\n1\n", kCustomOpened + kMenu + kDirectionPrompt + kStopPrompt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt);
        expectRun(runConsole(c.input, InputEnd::Closed), 0, c.output);
    }
}

TEST(ConsoleCommandLine, TheBackendGivenIsNamedBeforeTheDialogue) {
    const ProgramRun run = runConsole("-1\n", InputEnd::KeptOpen, {},
                                      {QStringLiteral("--backend"), QStringLiteral("simulator")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "USB backend: simulator (simulated turntables)\n" + kModels);
}

// The default named on the command line is a choice too.
TEST(ConsoleCommandLine, TheBackendGivenWinsOverTheEnvironmentsEvenTheDefault) {
    const ProgramRun run =
        runConsole("-1\n", InputEnd::KeptOpen,
                   {{QStringLiteral("KALVERA_TURNTABLE_BACKEND"), QStringLiteral("simulator")}},
                   {QStringLiteral("--backend"), QStringLiteral("libftdi")});
    ASSERT_TRUE(run.finished);
    EXPECT_THAT(run.output, ::testing::StartsWith(
                                "USB backend: libftdi (real FT245R chips through libftdi)\n"));
}

TEST(ConsoleCommandLine, ABackendThatCannotBeLoadedEndsTheProgramWithTheReason) {
    const ProgramRun run = runConsole("-1\n", InputEnd::KeptOpen, {},
                                      {QStringLiteral("--backend"), QStringLiteral("vendor")});
    ASSERT_TRUE(run.finished);
    const std::string found = "USB backend: vendor (the vendor's D2XX library libftd2xx.so)\n"
                              "No available connected turntable found.\n";
    ASSERT_THAT(run.output, ::testing::StartsWith(found));
    const std::string reason = run.output.substr(found.size());
    if (reason.rfind("The USB backend \"vendor\" cannot be loaded: ", 0) != 0) {
        GTEST_SKIP() << "this machine has the vendor's libftd2xx.so";
    }
    EXPECT_EQ(run.exitCode, 2) << "as for a backend it does not know";
    EXPECT_THAT(reason, ::testing::Not(::testing::HasSubstr("Press '")));
    EXPECT_EQ(run.errors, "");
}

TEST(ConsoleCommandLine, AnUnknownBackendEndsTheProgramWithTheNames) {
    const ProgramRun given = runConsole("0\n6\n", InputEnd::Closed, {},
                                        {QStringLiteral("--backend"), QStringLiteral("usb3")});
    const ProgramRun inEnvironment =
        runConsole("0\n6\n", InputEnd::Closed,
                   {{QStringLiteral("KALVERA_TURNTABLE_BACKEND"), QStringLiteral("usb3")}});
    for (const ProgramRun& run : {given, inEnvironment}) {
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.output, "");
        EXPECT_THAT(run.errors, ::testing::StartsWith("Unknown USB backend \"usb3\""));
        for (const char* name : {"libftdi (default)", "simulator", "vendor"}) {
            EXPECT_THAT(run.errors, ::testing::HasSubstr(name));
        }
    }
    EXPECT_THAT(inEnvironment.errors, ::testing::HasSubstr("in KALVERA_TURNTABLE_BACKEND"));
}

TEST(ConsoleCommandLine, PerEdgeStepsAreTheTablesOnceItIsOpen) {
    const std::string perEdge = kSteppersTimed.substr(0, kSteppersTimed.find('\n') + 1) +
                                "Stepper moves run as per-edge writes.\n";
    expectRun(runConsole(kOpenCustom + "1\n5\n1\n6\n", InputEnd::KeptOpen, {},
                         {QStringLiteral("--per-edge-steps")}),
              0,
              kModels + "Trying to open Custom...\n" + perEdge + kCustomSettings + kLockAndSpeed +
                  kMenu + kCountPrompts + kDirectionPrompt + kRotated + kMenu);
}

TEST(ConsoleCommandLine, HelpNamesTheBackendsTheDefaultAndTheVariableAndRunsNothing) {
    const ProgramRun run = runConsole("0\n6\n", InputEnd::Closed, {}, {QStringLiteral("--help")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text : {"--backend", "KALVERA_TURNTABLE_BACKEND", "libftdi (default)",
                             "simulator", "vendor", "--per-edge-steps"}) {
        EXPECT_THAT(run.output, ::testing::HasSubstr(text));
    }
    EXPECT_THAT(run.output, ::testing::Not(::testing::HasSubstr("Press '")));
    EXPECT_THAT(run.output,
                ::testing::HasSubstr("In effect now: " + testpath::backend().toStdString() + "\n"));
}

TEST(ConsoleNextSteps, NameTheFirstPlaceThatHasTheRule) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const std::string packaged = directory.filePath(QStringLiteral("lib.rules")).toStdString();
    const std::string byHand = directory.filePath(QStringLiteral("etc.rules")).toStdString();
    EXPECT_THAT(nextStepsWithoutTurntable(true, {packaged, byHand}),
                ::testing::HasSubstr("- the udev rule is not installed: "));
    QFile(QString::fromStdString(byHand)).open(QIODevice::WriteOnly);
    EXPECT_THAT(nextStepsWithoutTurntable(true, {packaged, byHand}),
                ::testing::HasSubstr("- the udev rule is installed as " + byHand + ";"));
    QFile(QString::fromStdString(packaged)).open(QIODevice::WriteOnly);
    EXPECT_THAT(nextStepsWithoutTurntable(true, {packaged, byHand}),
                ::testing::HasSubstr("- the udev rule is installed as " + packaged + ";"));
    EXPECT_THAT(nextStepsWithoutTurntable(false, {packaged, byHand}),
                ::testing::Not(::testing::HasSubstr("udev")))
        << "without a chip the rule is not the cause";
}

TEST(ConsoleCommandLine, HelpFlagsABackendItDoesNotKnow) {
    const ProgramRun given =
        runConsole("", InputEnd::Closed, {},
                   {QStringLiteral("--help"), QStringLiteral("--backend"), QStringLiteral("usb3")});
    const ProgramRun inEnvironment =
        runConsole("", InputEnd::Closed,
                   {{QStringLiteral("KALVERA_TURNTABLE_BACKEND"), QStringLiteral("usb3")}},
                   {QStringLiteral("--help")});
    for (const ProgramRun* run : {&given, &inEnvironment}) {
        ASSERT_TRUE(run->finished);
        EXPECT_EQ(run->exitCode, 0);
        EXPECT_THAT(run->output, ::testing::HasSubstr("In effect now: none: \"usb3\""));
    }
    EXPECT_THAT(inEnvironment.output,
                ::testing::HasSubstr("\"usb3\" in KALVERA_TURNTABLE_BACKEND is not a USB backend"));
}

} // namespace

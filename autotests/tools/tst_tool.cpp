// kalvera-turntable as a script runs it: each command's output and status,
// the capture command of a shoot, and bad input, which never moves the table
// (the bus's report then shows no open).
#include "SignalledProgram.h"
#include "ToolProgram.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>

#include <sys/stat.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// "Custom" as a stepper of 200 steps a turn, at the fastest speed.
const QStringList kCustom = {QStringLiteral("--model"), QStringLiteral("custom"),
                             QStringLiteral("--counts-per-revolution"), QStringLiteral("200")};

QStringList args(std::initializer_list<const char*> words) {
    QStringList list;
    for (const char* word : words) {
        list << QString::fromUtf8(word);
    }
    return list;
}

bool anyOpen(const std::vector<std::string>& report) {
    for (const std::string& line : report) {
        if (line.find(" opened ") != std::string::npos) {
            return true;
        }
    }
    return false;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(ToolCommandLine, EveryCommandHasItsHelpAndAWrongOneItsStatus) {
    const ToolProgram tool;
    for (const char* command : {"list", "check", "rotate", "shoot"}) {
        const auto run = tool.run({QString::fromUtf8(command), QStringLiteral("--help")});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_THAT(run.output, HasSubstr(std::string("Usage: kalvera-turntable ") + command));
        EXPECT_THAT(run.output, HasSubstr("Exit status"));
    }
    EXPECT_EQ(tool.run({}).exitCode, 2);
    EXPECT_EQ(tool.run(args({"spin"})).exitCode, 2);
    EXPECT_EQ(tool.run(args({"list", "--frames", "3"})).exitCode, 2);
}

TEST(ToolCommandLine, BadInputNeverMovesTheTable) {
    const ToolProgram tool;
    const QStringList shoot = QStringList{QStringLiteral("shoot")} + kCustom;
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("rotate")} + kCustom + args({"--degrees", "90", "--bogus"}),
          shoot + args({"--frames", "0"}), shoot + args({"--frames", "65536"}),
          shoot + args({"--angles", "90,45"}), shoot + args({"--angles", "0,90"}),
          shoot + args({"--angles", "90,360"}),
          args({"rotate", "--model", "Carousel", "--degrees", "10"}),
          args({"rotate", "--model", "custom", "--degrees", "10"}),
          args({"shoot", "--model", "custom", "--frames", "4"}),
          shoot + args({"--frames", "4", "--resume-from", "5"})}) {
        const auto run = tool.run(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_THAT(run.errors, HasSubstr("kalvera-turntable: "));
    }
    EXPECT_FALSE(anyOpen(tool.report())) << "a bad input opened the turntable";

    // A misspelt backend is a name to correct, whatever the command.
    ToolProgram misconfigured;
    misconfigured.setEnvironment(QStringLiteral("KALVERA_TURNTABLE_BACKEND"),
                                 QStringLiteral("bogus"));
    for (const QStringList& arguments :
         {args({"rotate", "--model", "1", "--counts", "1"}), args({"list"}), args({"check"}),
          args({"shoot", "--model", "1", "--frames", "4"})}) {
        const auto run = misconfigured.run(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_THAT(run.errors, HasSubstr("correct the name (the backends are libftdi, "));
    }
    const auto run = tool.run(args({"list", "--backend", "bogus"}));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.errors, HasSubstr("correct the name"));
}

TEST(ToolCommandLine, AnUnreadableSettingsFileIsKeptAsideAndNothingMoves) {
    const ToolProgram tool;
    const QString settings = tool.path(QStringLiteral("settings.json"));
    const QStringList shoot = QStringList{QStringLiteral("shoot")} + kCustom +
                              QStringList{QStringLiteral("--settings"), settings};
    writeFile(settings, "{\n  \"framesCountText\": \"4\",\n  oops\n}\n");
    auto run = tool.run(shoot);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.errors, HasSubstr("at line 3, column "));
    EXPECT_THAT(run.errors, HasSubstr("settings.json.unreadable"));
    EXPECT_FALSE(QFile::exists(settings));
    writeFile(settings, "[4]");
    run = tool.run(shoot);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(QFile::exists(settings + QStringLiteral(".unreadable.2"))) << run.errors;
    EXPECT_FALSE(anyOpen(tool.report()));
}

TEST(ToolCommandLine, SettingsThatAreNoRegularFileAreRefusedAsTheyAre) {
    const ToolProgram tool;
    const QString fifo = tool.path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& settings : {tool.path(QStringLiteral(".")), fifo}) {
        const auto run = tool.run(QStringList{QStringLiteral("shoot")} + kCustom +
                                  QStringList{QStringLiteral("--settings"), settings});
        ASSERT_TRUE(run.finished) << "waited on " << settings.toStdString();
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.errors, HasSubstr("is not a regular file"));
        EXPECT_TRUE(QFileInfo::exists(settings));
        EXPECT_FALSE(QFileInfo::exists(settings + QStringLiteral(".unreadable")));
    }
    EXPECT_FALSE(anyOpen(tool.report()));
}

TEST(ToolRotate, TurnsAndTellsWhereTheTableStands) {
    ToolProgram tool;
    auto run =
        tool.run(QStringList{QStringLiteral("rotate")} + kCustom + args({"--degrees", "90"}));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.output, HasSubstr("stands at 90.0\u00B0 clockwise"));
    EXPECT_EQ(stepsTaken(tool.report()), 50);

    run = tool.run(QStringList{QStringLiteral("rotate")} + kCustom +
                   args({"--counts", "25", "--ccw", "--json"}));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    const auto events = jsonEvents(run.output);
    ASSERT_EQ(events.size(), 2u) << run.output;
    EXPECT_EQ(events[0][QStringLiteral("event")], QStringLiteral("opened"));
    EXPECT_EQ(events[0][QStringLiteral("model")], QStringLiteral("Custom"));
    EXPECT_EQ(events[1][QStringLiteral("event")], QStringLiteral("moved"));
    EXPECT_DOUBLE_EQ(events[1][QStringLiteral("position")].toDouble(), 315.0);

    // From where the table stood when opened: a fresh run stands at 0.
    run = tool.run(QStringList{QStringLiteral("rotate")} + kCustom + args({"--to", "45"}));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.output, HasSubstr("stands at 45.0\u00B0 clockwise"));
    EXPECT_EQ(stepsTaken(tool.report()), 25);
}

TEST(ToolRotate, WithoutATurntableSaysWhyWithItsStatus) {
    ToolProgram tool;
    const QStringList rotate =
        QStringList{QStringLiteral("rotate")} + kCustom + args({"--degrees", "90", "--json"});
    tool.setEnvironment(QStringLiteral("FTDISIM_DEVICES"), {});
    auto run = tool.run(rotate);
    EXPECT_EQ(run.exitCode, 3);
    auto events = jsonEvents(run.output);
    ASSERT_EQ(events.size(), 1u) << run.output;
    EXPECT_EQ(events[0][QStringLiteral("event")], QStringLiteral("error"));
    EXPECT_EQ(events[0][QStringLiteral("status")], 3);
    EXPECT_THAT(run.errors, HasSubstr("--backend simulator")) << "the next steps";

    tool.setEnvironment(QStringLiteral("FTDISIM_DEVICES"),
                        QStringLiteral("FT245R USB FIFO,KT1,opened"));
    run = tool.run(rotate);
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_THAT(run.errors, HasSubstr("udev rule"));
}

TEST(ToolShoot, TheCaptureCommandRunsAtEachAngleInOrderWithTheTableThere) {
    const ToolProgram tool;
    const auto run = tool.run(
        QStringList{QStringLiteral("shoot")} + kCustom +
        QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--json"),
                    QStringLiteral("--exec"),
                    QStringLiteral("echo {index} {count} {angle} $KALVERA_INDEX $KALVERA_COUNT "
                                   "$KALVERA_ANGLE >> ") +
                        tool.path(QStringLiteral("captures"))});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(tool.lines(QStringLiteral("captures")),
                ElementsAre("1 4 0 1 4 0", "2 4 90 2 4 90", "3 4 180 3 4 180", "4 4 270 4 4 270"));
    std::vector<double> positions;
    for (const QJsonObject& event : jsonEvents(run.output)) {
        if (event[QStringLiteral("event")] == QStringLiteral("capture")) {
            positions.push_back(event[QStringLiteral("position")].toDouble());
            EXPECT_DOUBLE_EQ(positions.back(), event[QStringLiteral("angle")].toDouble());
        }
    }
    EXPECT_EQ(positions.size(), 4u) << run.output;
    EXPECT_THAT(run.output, HasSubstr("\"event\":\"finished\""));
    // A whole turn, back at the start, the motor free as the settings ask.
    EXPECT_EQ(stepsTaken(tool.report()), 200);
    EXPECT_EQ(reportValue(tool.report().back(), "stepper"), "free");
}

TEST(ToolShoot, OptionsWinOverTheSettingsFileWhichStaysAsItWas) {
    const ToolProgram tool;
    const QString settings = tool.path(QStringLiteral("settings.json"));
    const QByteArray content = R"({"framesCountText": "3", "useCustomAngles": false,
        "isLockTableWhenIdle": true,
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "200"}})";
    writeFile(settings, content);
    const auto run = tool.run(args({"shoot", "--model", "Custom", "--angles", "45,180"}) +
                              QStringList{QStringLiteral("--settings"), settings});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.output, HasSubstr("capture 2/3 at 45.0\u00B0"));
    EXPECT_THAT(run.output, HasSubstr("capture 3/3 at 180.0\u00B0"));
    EXPECT_EQ(reportValue(tool.report().back(), "stepper"), "holding") << "locked as the file asks";
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), content);
}

TEST(ToolShoot, AFailingCaptureCommandStopsTheShootWhereItFailed) {
    const ToolProgram tool;
    const auto run = tool.run(
        QStringList{QStringLiteral("shoot")} + kCustom +
        QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--retries"),
                    QStringLiteral("1"), QStringLiteral("--exec"),
                    QStringLiteral("echo $KALVERA_INDEX >> ") + tool.path(QStringLiteral("tries")) +
                        QStringLiteral("; test $KALVERA_INDEX -lt 3")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.errors, HasSubstr("capture 3 of 4"));
    EXPECT_THAT(tool.lines(QStringLiteral("tries")), ElementsAre("1", "2", "3", "3"));
    EXPECT_EQ(stepsTaken(tool.report()), 100) << "the table stays at capture 3";
}

} // namespace

namespace {

// The events of `item` in a check's JSON output.
std::vector<QJsonObject> checkLines(const std::string& output, const QString& item) {
    std::vector<QJsonObject> lines;
    for (const QJsonObject& event : jsonEvents(output)) {
        if (event[QStringLiteral("item")] == item) {
            lines.push_back(event);
        }
    }
    return lines;
}

bool allOk(const std::vector<QJsonObject>& lines) {
    return std::all_of(lines.begin(), lines.end(),
                       [](const QJsonObject& line) { return line[QStringLiteral("ok")].toBool(); });
}

TEST(ToolList, ListsEveryChipAndWhyOneCannotBeOpened) {
    ToolProgram tool;
    tool.setEnvironment(QStringLiteral("FTDISIM_DEVICES"),
                        QStringLiteral("FT245R USB FIFO,KT1;FT245R USB FIFO,KT2,opened;"
                                       "FT245R USB FIFO,KT3,noaccess"));
    auto run = tool.run(args({"list", "--json"}));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    const auto chips = jsonEvents(run.output);
    ASSERT_EQ(chips.size(), 3u) << run.output;
    EXPECT_EQ(chips[0][QStringLiteral("serial")], QStringLiteral("KT1"));
    EXPECT_EQ(chips[0][QStringLiteral("availability")], QStringLiteral("free"));
    EXPECT_EQ(chips[1][QStringLiteral("availability")], QStringLiteral("open-elsewhere"));
    EXPECT_EQ(chips[2][QStringLiteral("availability")], QStringLiteral("not-permitted"));
    EXPECT_TRUE(chips[2][QStringLiteral("turntable")].toBool());
    EXPECT_THAT(run.errors, HasSubstr("close the other program"));
    EXPECT_THAT(run.errors, HasSubstr("udev rule"));

    tool.setEnvironment(QStringLiteral("FTDISIM_DEVICES"),
                        QStringLiteral("FT245R USB FIFO,KT2,opened"));
    run = tool.run(args({"list"}));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_THAT(run.output, HasSubstr("KT2  turntable chip: held by another program"));
    tool.setEnvironment(QStringLiteral("FTDISIM_DEVICES"), {});
    EXPECT_EQ(tool.run(args({"list"})).exitCode, 3);
    EXPECT_FALSE(anyOpen(tool.report())) << "a list opens nothing";
}

TEST(ToolCheck, AHealthyTurntableIsAllOkAndTurnsEachWayOnlyWhenAsked) {
    const ToolProgram tool;
    const QStringList check = QStringList{QStringLiteral("check")} + kCustom;
    auto run = tool.run(check + args({"--json"}));
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    for (const char* item : {"backend", "chip", "set-up", "open", "usb", "clock", "settings"}) {
        const auto lines = checkLines(run.output, QString::fromUtf8(item));
        EXPECT_FALSE(lines.empty()) << item;
        EXPECT_TRUE(allOk(lines)) << item << '\n' << run.output;
    }
    EXPECT_EQ(stepsTaken(tool.report()), 0) << "safe with a product on the table";

    run = tool.run(check + args({"--turn", "--json"}));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(checkLines(run.output, QStringLiteral("turn")).size(), 2u);
    EXPECT_EQ(stepsTaken(tool.report()), 10) << "5 counts each way";

    // No model named: Custom's missing counts are no fault of the hardware.
    run = tool.run(args({"check", "--json"}));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto settings = checkLines(run.output, QStringLiteral("settings"));
    EXPECT_TRUE(!settings.empty() && allOk(settings)) << run.output;
}

TEST(ToolCheck, EachProblemHasItsLineAndTheStatusSaysSo) {
    struct Case {
        const char* variable;
        const char* value;
        // Where the problem shows: a chip held by another program is listed
        // as such by D2XX, while libusb tells it only at FT_Open.
        const char* items;
        int status;
    };
    for (const Case& fault :
         {Case{"FTDISIM_DEVICES", "FT245R USB FIFO,KT1,opened", "chip|set-up", 4},
          Case{"FTDISIM_DEVICES", "FT245R USB FIFO,KT1,noaccess", "chip", 4},
          Case{"FTDISIM_FAIL_CALL", "FT_SetBitMode:4", "set-up", 4},
          Case{"FTDISIM_BYTE_CLOCK_FACTOR", "7", "clock", 1},
          Case{"FTDISIM_DEVICES", "", "chip", 3}}) {
        SCOPED_TRACE(fault.value);
        ToolProgram tool;
        tool.setEnvironment(QString::fromUtf8(fault.variable), QString::fromUtf8(fault.value));
        const auto run =
            tool.run(QStringList{QStringLiteral("check")} + kCustom + args({"--json"}));
        EXPECT_EQ(run.exitCode, fault.status) << run.output;
        bool told = false;
        for (const QString& item : QString::fromUtf8(fault.items).split(QLatin1Char('|'))) {
            for (const QJsonObject& line : checkLines(run.output, item)) {
                if (!line[QStringLiteral("ok")].toBool()) {
                    told = true;
                    EXPECT_FALSE(line[QStringLiteral("next")].toString().isEmpty()) << run.output;
                }
            }
        }
        EXPECT_TRUE(told) << "no problem in " << fault.items << ":\n" << run.output;
    }
}

} // namespace

// The host's command line.
#include "HostOptions.h"
#include "LxD2xxBackend.h"
#include "LxTurntableModels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace {

HostOptions parsed(const QStringList& arguments, QString* error) {
    HostOptions options;
    EXPECT_TRUE(
        HostOptions::parse(QStringList{QStringLiteral("host")} + arguments, &options, error))
        << error->toStdString();
    return options;
}

bool refused(const QStringList& arguments, const char* reason) {
    HostOptions options;
    QString error;
    return !HostOptions::parse(QStringList{QStringLiteral("host")} + arguments, &options, &error) &&
           error.contains(QString::fromLatin1(reason));
}

TEST(HostOptions, TheTwoModesAndTheirOptions) {
    QString error;
    const HostOptions window = parsed({}, &error);
    EXPECT_FALSE(window.headless);
    EXPECT_TRUE(window.model.isEmpty());
    const QString model = QString::fromLatin1(turntableModels[2].name);
    const HostOptions shoot = parsed({QStringLiteral("--headless"), QStringLiteral("--frames"),
                                      QStringLiteral("360"), QStringLiteral("--model"), model},
                                     &error);
    EXPECT_TRUE(shoot.headless);
    EXPECT_EQ(shoot.frames, 360);
    EXPECT_EQ(shoot.model, model);

    EXPECT_TRUE(
        refused({QStringLiteral("--headless"), QStringLiteral("--frames"), QStringLiteral("361")},
                "1 to 360"));
    EXPECT_TRUE(
        refused({QStringLiteral("--headless"), QStringLiteral("--frames"), QStringLiteral("eight")},
                "not \"eight\""));
    EXPECT_TRUE(
        refused({QStringLiteral("--headless"), QStringLiteral("--model")}, "needs a value"));
    EXPECT_TRUE(refused({QStringLiteral("--frame"), QStringLiteral("8")}, "Unknown argument"));
    EXPECT_TRUE(refused(
        {QStringLiteral("--headless"), QStringLiteral("--screenshot"), QStringLiteral("a.png")},
        "needs the window"));
    // What the parser would take apart or take only in part.
    EXPECT_TRUE(refused({QStringLiteral("-headless")}, "Unknown argument \"-headless\""));
    EXPECT_TRUE(refused({QStringLiteral("--headless"), QStringLiteral("--frames"),
                         QStringLiteral("0"), QStringLiteral("--frames"), QStringLiteral("8")},
                        "not \"0\""));
    EXPECT_TRUE(refused({QStringLiteral("--help-all")}, "Unknown argument"));
}

TEST(HostOptions, TheHelpNamesBothModes) {
    const QString usage = HostOptions::usage();
    EXPECT_TRUE(usage.startsWith(
        QStringLiteral("Usage: KalveraTurntableHost [--model NAME [--shoot]] [--screenshot FILE]\n"
                       "                            [--backend NAME]\n"
                       "       KalveraTurntableHost --headless [--model NAME] [--frames N]\n")))
        << usage.toStdString();
    EXPECT_TRUE(usage.contains(QStringLiteral("\n              In effect now: ")));
}

TEST(HostOptions, TheHelpFlagsABackendItDoesNotKnow) {
    EXPECT_TRUE(
        HostOptions::usage(QStringLiteral("usb3"))
            .contains(QStringLiteral("In effect now: none: \"usb3\" is not a USB backend")));
}

// The default named on the command line is a choice too.
TEST(HostOptions, TheBackendGivenWinsOverTheEnvironmentsEvenTheDefault) {
    const std::string variable = LxD2xxBackend::environmentVariable();
    const char* const environmentBefore = std::getenv(variable.c_str());
    const std::string valueBefore = environmentBefore ? environmentBefore : "";
    const std::string choiceBefore = LxD2xxBackend::chosen();
    setenv(variable.c_str(), "simulator", 1);
    QString error;
    const HostOptions options =
        parsed({QStringLiteral("--backend"), QStringLiteral("libftdi")}, &error);
    std::ostringstream out;
    EXPECT_TRUE(options.applyBackend(out, &error)) << error.toStdString();
    EXPECT_EQ(LxD2xxBackend::chosen(), "libftdi");
    EXPECT_EQ(out.str(), "USB backend: libftdi (real FT245R chips through libftdi)\n");
    LxD2xxBackend::choose(choiceBefore);
    setenv(variable.c_str(), valueBefore.c_str(), 1);
}

} // namespace

// The host's command line.
#include "HostOptions.h"
#include "LxTurntableModels.h"

#include <gtest/gtest.h>

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
}

} // namespace

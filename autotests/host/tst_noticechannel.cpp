// The host's hand-over of the turntable's notices to its event loop, and its
// command line.
#include "HostOptions.h"
#include "NoticeChannel.h"
#include "ProcessEventsUntil.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(NoticeChannel, EveryNoticeFromEveryThreadArrivesOnTheChannelsThread) {
    NoticeChannel channel;
    const auto receiver = std::this_thread::get_id();
    int received = 0;
    bool onOtherThread = false;
    QObject::connect(&channel, &NoticeChannel::received, [&] {
        ++received;
        onOtherThread = onOtherThread || std::this_thread::get_id() != receiver;
    });
    constexpr int perThread = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t) {
        posters.emplace_back([&channel] {
            for (int i = 0; i < perThread; ++i) {
                channel.post();
            }
        });
    }
    channel.post();
    EXPECT_EQ(received, 0) << "posting never calls back inside post()";
    for (auto& poster : posters) {
        poster.join();
    }
    EXPECT_TRUE(processEventsUntil([&] { return received == 3 * perThread + 1; })) << received;
    EXPECT_FALSE(onOtherThread);
}

TEST(NoticeChannel, ANoticePostedWhileOneIsHandledComesNext) {
    NoticeChannel channel;
    int received = 0;
    QObject::connect(&channel, &NoticeChannel::received, [&] {
        if (++received < 3) {
            channel.post();
        }
    });
    channel.post();
    EXPECT_TRUE(processEventsUntil([&] { return received == 3; }));
}

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
    const HostOptions shoot =
        parsed({QStringLiteral("--headless"), QStringLiteral("--frames"), QStringLiteral("360"),
                QStringLiteral("--model"), QStringLiteral("Tessel M")},
               &error);
    EXPECT_TRUE(shoot.headless);
    EXPECT_EQ(shoot.frames, 360);
    EXPECT_EQ(shoot.model, QStringLiteral("Tessel M"));

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

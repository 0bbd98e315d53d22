// The hand-over of values from other threads to the event loop of the thread
// that made the mailbox.
#include "LxThreadMailbox.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <numeric>
#include <thread>
#include <vector>

namespace {

bool receiveUntil(const std::vector<int>& received, std::size_t count) {
    QElapsedTimer timer;
    timer.start();
    while (received.size() < count && timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return received.size() == count;
}

TEST(ThreadMailbox, ValuesArriveFromTheEventLoopInTheOrderSent) {
    std::vector<int> received;
    LxThreadMailbox mailbox([&](int value) { received.push_back(value); });
    mailbox.send(-1);
    EXPECT_TRUE(received.empty()) << "never inside send()";

    std::thread sender([&] {
        for (int value = 0; value < 2000; ++value) {
            mailbox.send(value);
        }
    });
    sender.join();
    ASSERT_TRUE(receiveUntil(received, 2001));
    std::vector<int> expected(2001);
    std::iota(expected.begin(), expected.end(), -1);
    EXPECT_EQ(received, expected);
}

} // namespace

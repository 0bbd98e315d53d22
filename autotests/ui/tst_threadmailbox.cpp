// The hand-over of values, the turntable's notices among them, from other
// threads to the event loop of the thread that made the mailbox.
#include "LxThreadMailbox.h"
#include "ProcessEventsUntil.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

namespace {

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
    ASSERT_TRUE(processEventsUntil([&] { return received.size() >= 2001; }));
    std::vector<int> expected(2001);
    std::iota(expected.begin(), expected.end(), -1);
    EXPECT_EQ(received, expected);
}

TEST(ThreadMailbox, EveryValueFromEveryThreadArrivesOnTheMailboxsThreadInEachSendersOrder) {
    const auto receiver = std::this_thread::get_id();
    constexpr int perThread = 500;
    constexpr int senders = 3;
    std::vector<int> lastFrom(senders, -1);
    int received = 0;
    bool outOfOrder = false;
    bool onOtherThread = false;
    LxThreadMailbox mailbox([&](int value) {
        ++received;
        onOtherThread = onOtherThread || std::this_thread::get_id() != receiver;
        if (value >= 0) {
            int& last = lastFrom[static_cast<std::size_t>(value / perThread)];
            outOfOrder = outOfOrder || value <= last;
            last = value;
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < senders; ++t) {
        threads.emplace_back([&mailbox, t] {
            for (int i = 0; i < perThread; ++i) {
                mailbox.send(t * perThread + i);
            }
        });
    }
    mailbox.send(-1);
    EXPECT_EQ(received, 0) << "sending never calls back inside send()";
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(processEventsUntil([&] { return received == senders * perThread + 1; }))
        << received;
    EXPECT_FALSE(onOtherThread);
    EXPECT_FALSE(outOfOrder);
}

// The receiver collects while the senders send: a sender must not look at
// its value once the receiver may have taken it.
TEST(ThreadMailbox, ValuesSentWhileTheReceiverCollectsAllArrive) {
    constexpr int perThread = 2000;
    int received = 0;
    LxThreadMailbox mailbox([&](int) { ++received; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&mailbox] {
            for (int i = 0; i < perThread; ++i) {
                mailbox.send(i);
            }
        });
    }
    const bool all = processEventsUntil([&] { return received == 2 * perThread; });
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(all) << received;
}

TEST(ThreadMailbox, AValueSentWhileOneIsReceivedComesNext) {
    int received = 0;
    LxThreadMailbox* self = nullptr;
    LxThreadMailbox mailbox([&](int) {
        if (++received < 3) {
            self->send(0);
        }
    });
    self = &mailbox;
    mailbox.send(0);
    EXPECT_TRUE(processEventsUntil([&] { return received == 3; }));
}

// A receiving thread that is busy (or blocked waiting for the sender) while
// far more values come than a pipe holds: the sender goes on, and the values
// are all there when the thread comes back.
TEST(ThreadMailbox, ABacklogLargerThanAPipeIsNeitherDroppedNorHoldsTheSenderBack) {
    constexpr int backlog = 100000;
    int received = 0;
    LxThreadMailbox mailbox([&](int value) {
        if (value == received) {
            ++received;
        }
    });
    std::thread sender([&] {
        for (int value = 0; value < backlog; ++value) {
            mailbox.send(value);
        }
    });
    sender.join();
    EXPECT_TRUE(processEventsUntil([&] { return received == backlog; })) << received;
}

TEST(ThreadMailbox, DroppingInsideTheReceiverDropsTheRestOfWhatWasSent) {
    std::vector<int> received;
    LxThreadMailbox* self = nullptr;
    LxThreadMailbox mailbox([&](int value) {
        received.push_back(value);
        if (value == 1) {
            self->dropPending();
        }
    });
    self = &mailbox;
    for (int value = 1; value <= 3; ++value) {
        mailbox.send(value);
    }
    ASSERT_TRUE(processEventsUntil([&] { return !received.empty(); }));
    mailbox.send(4);
    ASSERT_TRUE(processEventsUntil([&] { return received.back() == 4; }));
    EXPECT_EQ(received, (std::vector<int>{1, 4}));
}

// A receiver that runs an event loop of its own (a modal dialogue) while
// another thread lets go of the mailbox: the mailbox goes once that receiver
// has returned, and gives it nothing more.
TEST(ThreadMailbox, DestroyedFromAnotherThreadWhileReceivingItGoesAfterTheReceiver) {
    std::vector<int> received;
    LxThreadMailbox* mailbox = nullptr;
    mailbox = new LxThreadMailbox([&](int value) {
        received.push_back(value);
        if (value == 1) {
            std::thread([mailbox] { LxThreadMailbox::destroy(mailbox); }).join();
            processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
        }
    });
    mailbox->send(1);
    mailbox->send(2);
    processEventsUntil([] { return false; }, std::chrono::milliseconds(400));
    EXPECT_EQ(received, std::vector<int>{1});
}

// A receiver that lets go of its own mailbox, as a host window closing on the
// notice does.
TEST(ThreadMailbox, DestroyedFromItsOwnReceiverItGoesAfterTheReceiver) {
    std::vector<int> received;
    LxThreadMailbox* mailbox = nullptr;
    mailbox = new LxThreadMailbox([&](int value) {
        received.push_back(value);
        LxThreadMailbox::destroy(mailbox);
    });
    mailbox->send(1);
    mailbox->send(2);
    processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(received, std::vector<int>{1});
}

// A window that holds its mailbox as a member and closes on the last notice,
// on the mailbox's thread, as the example host's does.
TEST(ThreadMailbox, AWindowHoldingItsMailboxMayBeDeletedOnItsLastNotice) {
    struct Window {
        std::vector<int>& received;
        LxThreadMailbox notices{[this](int value) {
            received.push_back(value);
            if (value == 2) {
                delete this;
            }
        }};
    };
    std::vector<int> received;
    auto* const window = new Window{received};
    for (int value = 1; value <= 3; ++value) {
        window->notices.send(value);
    }
    processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(received, (std::vector<int>{1, 2})) << "nothing after the window went";
}

} // namespace

// The mailbox's wake-up against a value sent while the receiving thread is
// on its way from the pipe to the values: it must still arrive, with no
// later send to wake the thread again. The receiving thread's own read of
// the pipe is the moment: this program's read() sends there, before the read.
#include "LxThreadMailbox.h"
#include "ProcessEventsUntil.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace {

// What the next read of a pipe on this thread sends first; trivially made,
// as read() runs from the program's very start.
thread_local LxThreadMailbox* sendBeforeNextPipeRead = nullptr;
thread_local int valueToSend = 0;

} // namespace

// Stands in for the system's read() in the whole process, the SDK's included.
extern "C" __attribute__((visibility("default"))) ssize_t read(int descriptor, void* buffer,
                                                               size_t size) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const auto systemRead = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    struct stat status {};
    if (sendBeforeNextPipeRead && fstat(descriptor, &status) == 0 && S_ISFIFO(status.st_mode)) {
        LxThreadMailbox* const mailbox = sendBeforeNextPipeRead;
        sendBeforeNextPipeRead = nullptr;
        mailbox->send(valueToSend);
    }
    return systemRead(descriptor, buffer, size);
}

namespace {

TEST(MailboxWakeUp, AValueSentAsTheReceiverReadsItsPipeArrivesWithoutALaterSend) {
    std::vector<int> received;
    LxThreadMailbox mailbox([&](int value) { received.push_back(value); });
    mailbox.send(1);
    sendBeforeNextPipeRead = &mailbox;
    valueToSend = 2;
    EXPECT_TRUE(
        processEventsUntil([&] { return received.size() == 2; }, std::chrono::milliseconds(1000)))
        << received.size() << " received";
    EXPECT_EQ(sendBeforeNextPipeRead, nullptr) << "the pipe was never read";
    EXPECT_EQ(received, (std::vector<int>{1, 2}));
}

} // namespace

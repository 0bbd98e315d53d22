// The controller's thread and a destructor on another one: what runs on the
// thread when the controller goes.
#include "LxControllerThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A queued call under way on the controller's thread holds the destructor
// until it ends, and not longer.
TEST(ControllerThread, ADestructorOnAnotherThreadReturnsOnceTheCallUnderWayEnds) {
    std::unique_ptr<LxControllerThread> controllerThread;
    std::thread destroyer;
    std::atomic<bool> destroying{false};
    std::atomic<bool> callEnded{false};
    std::atomic<bool> returnedInsideTheCall{false};
    std::atomic<bool> destroyed{false};
    controllerThread = std::make_unique<LxControllerThread>([&](int) {
        destroyer = std::thread([&] {
            destroying = true;
            controllerThread.reset();
            returnedInsideTheCall = !callEnded;
            destroyed = true;
        });
        while (!destroying) {
            std::this_thread::yield();
        }
        // Long enough for a destructor that did not wait to have returned.
        std::this_thread::sleep_for(300ms);
        callEnded = true;
    });
    ASSERT_TRUE(controllerThread->bindToCallingThread());
    ASSERT_TRUE(controllerThread->post(0));
    // One pass of the loop at a time: once the call has ended, the loop runs
    // again only after the destroying thread has been joined. Its destructor
    // hands objects to this thread's loop, a hand-over inside Qt that
    // ThreadSanitizer cannot follow; the join it can.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!callEnded && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
    }
    while (!destroyed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    if (!destroyed) {
        // Stuck for good: the test fails rather than hangs.
        destroyer.detach();
        FAIL() << "the destructor did not return once the call had ended";
    }
    destroyer.join();
    EXPECT_FALSE(returnedInsideTheCall);
    // The mailbox and the timers' context go on this thread's event loop.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

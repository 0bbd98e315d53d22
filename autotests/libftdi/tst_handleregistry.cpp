// The registry behind the libftdi backend's handles: handles are never handed
// out twice, a closed one finds nothing, and a device in use outlives the
// close of its handle.
#include "HandleRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

using kalvera::d2xx::HandleRegistry;

namespace {

struct FakeDevice {
    int id;
};

TEST(HandleRegistry, EachHandleFindsItsOwnDeviceUntilRemoved) {
    HandleRegistry<FakeDevice> registry;
    const FT_HANDLE first = registry.add(std::make_shared<FakeDevice>(FakeDevice{1}));
    const FT_HANDLE second = registry.add(std::make_shared<FakeDevice>(FakeDevice{2}));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first, second);
    EXPECT_EQ(registry.find(first)->id, 1);
    EXPECT_EQ(registry.find(second)->id, 2);

    const std::shared_ptr<FakeDevice> removed = registry.remove(first);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->id, 1);
    EXPECT_EQ(registry.find(first), nullptr);
    EXPECT_EQ(registry.remove(first), nullptr);
    EXPECT_EQ(registry.find(second)->id, 2);
}

TEST(HandleRegistry, NullAndForeignHandlesFindNothing) {
    HandleRegistry<FakeDevice> registry;
    FakeDevice device{1};
    registry.add(std::make_shared<FakeDevice>(device));
    for (FT_HANDLE handle : {static_cast<FT_HANDLE>(nullptr), static_cast<FT_HANDLE>(&device)}) {
        EXPECT_EQ(registry.find(handle), nullptr);
        EXPECT_EQ(registry.remove(handle), nullptr);
    }
}

TEST(HandleRegistry, AClosedHandleNeverComesBack) {
    HandleRegistry<FakeDevice> registry;
    std::set<FT_HANDLE> handed;
    for (int i = 0; i < 1000; ++i) {
        const FT_HANDLE handle = registry.add(std::make_shared<FakeDevice>(FakeDevice{i}));
        EXPECT_TRUE(handed.insert(handle).second) << "handle reused after " << i;
        registry.remove(handle);
    }
    for (FT_HANDLE handle : handed) {
        EXPECT_EQ(registry.find(handle), nullptr);
    }
}

TEST(HandleRegistry, ADeviceInUseOutlivesTheCloseOfItsHandle) {
    HandleRegistry<FakeDevice> registry;
    auto device = std::make_shared<FakeDevice>(FakeDevice{7});
    const std::weak_ptr<FakeDevice> watch = device;
    const FT_HANDLE handle = registry.add(std::move(device));

    std::shared_ptr<FakeDevice> inUse = registry.find(handle);
    registry.remove(handle);
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(inUse->id, 7);
    inUse.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(HandleRegistry, FindsTheHandleOfTheDeviceAPredicateAccepts) {
    HandleRegistry<FakeDevice> registry;
    registry.add(std::make_shared<FakeDevice>(FakeDevice{1}));
    const FT_HANDLE second = registry.add(std::make_shared<FakeDevice>(FakeDevice{2}));
    EXPECT_EQ(registry.findHandle([](const FakeDevice& d) { return d.id == 2; }), second);
    EXPECT_EQ(registry.findHandle([](const FakeDevice& d) { return d.id == 3; }), nullptr);
    registry.remove(second);
    EXPECT_EQ(registry.findHandle([](const FakeDevice& d) { return d.id == 2; }), nullptr);
}

// Threads open, use and close handles at once, as enumeration and two
// devices' rotation threads may: each always reaches its own device.
TEST(HandleRegistry, ConcurrentOpenUseAndCloseKeepHandlesApart) {
    HandleRegistry<FakeDevice> registry;
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&registry, &mismatches, t] {
            for (int round = 0; round < kRounds; ++round) {
                const int id = t * kRounds + round;
                const FT_HANDLE handle = registry.add(std::make_shared<FakeDevice>(FakeDevice{id}));
                const std::shared_ptr<FakeDevice> found = registry.find(handle);
                const FT_HANDLE byId =
                    registry.findHandle([id](const FakeDevice& d) { return d.id == id; });
                const std::shared_ptr<FakeDevice> removed = registry.remove(handle);
                if (!found || found->id != id || byId != handle || removed != found ||
                    registry.find(handle)) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace

// The libftdi backend's D2XX functions on a machine without an FTDI chip:
// nothing is found, opening fails with the status the drivers turn into
// "Device not found", and no call on a handle that is not live crashes.
// They skip on a machine that has a chip attached.
#include <gtest/gtest.h>

#include <ftd2xx.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

FT_HANDLE sentinelHandle() {
    static int sentinel = 0;
    return &sentinel;
}

FT_DEVICE_LIST_INFO_NODE sentinelNode() {
    FT_DEVICE_LIST_INFO_NODE node{};
    node.Flags = 0xA5A5;
    std::strcpy(node.Description, "untouched");
    node.ftHandle = sentinelHandle();
    return node;
}

bool isSentinel(const FT_DEVICE_LIST_INFO_NODE& node) {
    return node.Flags == 0xA5A5 && std::strcmp(node.Description, "untouched") == 0 &&
           node.ftHandle == sentinelHandle();
}

class WithoutAChip : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD count = 0;
        ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS{FT_OK});
        if (count > 0) {
            GTEST_SKIP() << count << " FTDI device(s) attached; these checks need none";
        }
    }
};

TEST_F(WithoutAChip, EnumerationFindsNothingAndCopiesNothing) {
    for (int round = 0; round < 3; ++round) {
        DWORD count = 99;
        EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS{FT_OK});
        EXPECT_EQ(count, 0u);
    }
    // A caller may size its array by the count of 0.
    DWORD count = 0;
    EXPECT_EQ(FT_GetDeviceInfoList(nullptr, &count), FT_STATUS{FT_OK});
    EXPECT_EQ(count, 0u);

    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(3, sentinelNode());
    count = 3;
    EXPECT_EQ(FT_GetDeviceInfoList(nodes.data(), &count), FT_STATUS{FT_OK});
    EXPECT_EQ(count, 0u);
    for (const FT_DEVICE_LIST_INFO_NODE& node : nodes) {
        EXPECT_TRUE(isSentinel(node));
    }
}

TEST_F(WithoutAChip, OpenFailsWithDeviceNotFoundAndLeavesTheHandleNull) {
    for (int index : {0, 1, 7, INT_MAX, -1, INT_MIN}) {
        SCOPED_TRACE(index);
        FT_HANDLE handle = sentinelHandle();
        EXPECT_EQ(FT_Open(index, &handle), FT_STATUS{FT_DEVICE_NOT_FOUND});
        EXPECT_EQ(handle, nullptr);
    }
}

TEST_F(WithoutAChip, OverlappingEnumerationsAllSucceed) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int round = 0; round < kRounds; ++round) {
                DWORD count = 99;
                FT_DEVICE_LIST_INFO_NODE node = sentinelNode();
                DWORD copied = 1;
                FT_HANDLE handle = sentinelHandle();
                if (FT_CreateDeviceInfoList(&count) != FT_OK || count != 0 ||
                    FT_GetDeviceInfoList(&node, &copied) != FT_OK || copied != 0 ||
                    FT_Open(0, &handle) != FT_DEVICE_NOT_FOUND || handle != nullptr) {
                    ++failures[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

TEST(LibftdiBackend, MissingOutputAddressesAreInvalidParameters) {
    EXPECT_EQ(FT_CreateDeviceInfoList(nullptr), FT_STATUS{FT_INVALID_PARAMETER});
    EXPECT_EQ(FT_GetDeviceInfoList(nullptr, nullptr), FT_STATUS{FT_INVALID_PARAMETER});
    DWORD count = 2;
    EXPECT_EQ(FT_GetDeviceInfoList(nullptr, &count), FT_STATUS{FT_INVALID_PARAMETER});
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(FT_Open(0, nullptr), FT_STATUS{FT_INVALID_PARAMETER});
}

// A handle that no FT_Open returned (null, the address of some object, a
// number): every call refuses it without touching it or the caller's buffers.
// Closed handles are the registry's part (tst_handleregistry.cpp).
TEST(LibftdiBackend, CallsOnAHandleThatIsNotLiveReturnInvalidHandle) {
    int object = 0;
    for (FT_HANDLE handle : {static_cast<FT_HANDLE>(nullptr), static_cast<FT_HANDLE>(&object),
                             reinterpret_cast<FT_HANDLE>(std::uintptr_t{1}),
                             reinterpret_cast<FT_HANDLE>(UINTPTR_MAX)}) {
        SCOPED_TRACE(handle);
        unsigned char byte = 0x5A;
        DWORD count = 7;
        EXPECT_EQ(FT_SetBaudRate(handle, 1000000), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG),
                  FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_Write(handle, &byte, 1, &count), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_Read(handle, &byte, 1, &count), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_Close(handle), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(FT_Close(handle), FT_STATUS{FT_INVALID_HANDLE});
        EXPECT_EQ(byte, 0x5A);
        EXPECT_EQ(count, 7u);
        EXPECT_EQ(object, 0);
    }
}

} // namespace

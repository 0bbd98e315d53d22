// The loader's handles: each names the device its backend opened, and only
// until it is closed.
#include <d2xxloader/D2xxLoader.h>
#include <ftd2xx.h>
#include <ftdisim/Bus.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using ftdisim::Bus;

namespace {

TEST(D2xxLoader, OnlyTheHandlesItHandedOutAndHasNotClosedAreKnown) {
    Bus::instance().reset();
    ASSERT_TRUE(d2xxloader::choose("simulator"));
    ASSERT_EQ(d2xxloader::load(), "");
    int notAHandle = 0;
    UCHAR byte = 0;
    DWORD written = 0;
    EXPECT_EQ(FT_Close(nullptr), static_cast<FT_STATUS>(FT_INVALID_HANDLE));
    EXPECT_EQ(FT_Write(&notAHandle, &byte, 1, &written), static_cast<FT_STATUS>(FT_INVALID_HANDLE));

    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), static_cast<FT_STATUS>(FT_OK));
    EXPECT_EQ(FT_Write(handle, &byte, 1, &written), static_cast<FT_STATUS>(FT_OK));
    EXPECT_EQ(written, 1u);
    const ftdisim::DeviceId chip = Bus::instance().devices().at(0);
    EXPECT_EQ(Bus::instance().stats(chip).writes, 1u);
    EXPECT_EQ(FT_Close(handle), static_cast<FT_STATUS>(FT_OK));
    EXPECT_FALSE(Bus::instance().stats(chip).open);
    EXPECT_EQ(FT_Close(handle), static_cast<FT_STATUS>(FT_INVALID_HANDLE));
    EXPECT_EQ(FT_Write(handle, &byte, 1, &written), static_cast<FT_STATUS>(FT_INVALID_HANDLE));
    EXPECT_EQ(Bus::instance().stats(chip).writes, 1u) << "a closed handle reached the chip";
    Bus::instance().reset();
}

// The default chosen by name is a choice like any other: the environment's
// name gives way to it.
TEST(D2xxLoader, AChoiceWinsOverTheEnvironmentEvenTheDefault) {
    const char* const before = std::getenv(d2xxloader::kEnvironmentVariable);
    const std::string environmentBefore = before ? before : "";
    const std::string choiceBefore = d2xxloader::chosen();
    setenv(d2xxloader::kEnvironmentVariable, "simulator", 1);
    ASSERT_TRUE(d2xxloader::choose(d2xxloader::kDefaultBackend));
    EXPECT_EQ(d2xxloader::chosen(), d2xxloader::kDefaultBackend);
    d2xxloader::choose(choiceBefore);
    setenv(d2xxloader::kEnvironmentVariable, environmentBefore.c_str(), 1);
}

// A host that never chooses takes the environment's name as it stands: an
// unknown one is told as such, naming the variable, and nothing else is
// loaded in its place. In a process of its own, which has made no choice.
TEST(D2xxLoader, AnUnknownNameFromTheEnvironmentIsToldAndNothingStandsIn) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            setenv(d2xxloader::kEnvironmentVariable, "usb3", 1);
            const std::string failure = d2xxloader::load();
            DWORD count = 1;
            const bool listed = FT_CreateDeviceInfoList(&count) == FT_OK || count != 0;
            std::fprintf(stderr, "%s|%s\n", failure.c_str(), listed ? "listed" : "none");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^Unknown USB backend \"usb3\" in KALVERA_TURNTABLE_BACKEND; the backends are "
        "libftdi, simulator, vendor\\.\\|none");
}

} // namespace

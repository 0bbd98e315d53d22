// The rate handed to libftdi gives the chip the divisor the D2XX library
// would program for the same FT_SetBaudRate, in and out of bit-bang mode.
#include "BaudRate.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

using kalvera::libftdi::libftdiBaudRate;

namespace {

TEST(LibftdiBaudRate, OutsideBitbangTheRateGoesThroughUnchanged) {
    for (ULONG rate : {ULONG{300}, ULONG{9600}, ULONG{1000000}, ULONG{3000000}}) {
        EXPECT_EQ(libftdiBaudRate(rate, false), static_cast<int>(rate));
    }
}

// libftdi multiplies by 4 in bit-bang mode: what it then computes the divisor
// for must be the rate asked for, give or take its rounding.
TEST(LibftdiBaudRate, InBitbangLibftdisFourfoldRateIsTheRateAskedFor) {
    EXPECT_EQ(libftdiBaudRate(1000000, true), 250000);
    for (ULONG rate = 183; rate <= 3000000; rate = rate * 3 + 1) {
        SCOPED_TRACE(rate);
        const long fourfold = 4L * libftdiBaudRate(rate, true);
        EXPECT_LE(std::labs(fourfold - static_cast<long>(rate)), 2);
    }
}

TEST(LibftdiBaudRate, RatesLibftdiCannotTakeAreRefused) {
    EXPECT_EQ(libftdiBaudRate(0, false), 0);
    EXPECT_EQ(libftdiBaudRate(0, true), 0);
    EXPECT_EQ(libftdiBaudRate(1, true), 0);
    EXPECT_EQ(libftdiBaudRate(ULONG{INT_MAX}, false), INT_MAX);
    EXPECT_EQ(libftdiBaudRate(ULONG{INT_MAX} + 1, false), 0);
    EXPECT_EQ(libftdiBaudRate(ULONG{INT_MAX}, true), 0);
    EXPECT_EQ(libftdiBaudRate(ULONG_MAX, false), 0);
    EXPECT_EQ(libftdiBaudRate(ULONG_MAX, true), 0);
}

} // namespace

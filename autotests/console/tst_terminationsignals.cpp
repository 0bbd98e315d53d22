// The programs' orderly end on a signal, in process: a signal the program was
// started with ignored (nohup, a background job) is left ignored.
#include "TerminationSignals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(TerminationSignals, ASignalStartedIgnoredStaysIgnored) {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before = {};
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &before), 0);
    {
        TerminationSignals signals;
        ASSERT_TRUE(signals.isValid());
        raise(SIGHUP);
        EXPECT_EQ(signals.received(), 0) << "a hangup under nohup is not for the program";
    }
    struct sigaction after = {};
    sigaction(SIGHUP, &before, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN) << "and stays ignored after it";
}

} // namespace

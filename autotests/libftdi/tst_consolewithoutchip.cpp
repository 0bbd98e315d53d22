// The console program on the libftdi backend, run on a machine without
// an FTDI chip: it finds no turntable, says what to do next, offers only the
// exit, and ends with status 0. It skips where a chip is attached.
#include "ConsoleProgram.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QString>

#include <string>

namespace {

const std::string kNoTurntable = "No available connected turntable found.\n"
                                 "The turntable device cannot be found.\n\n"
                                 "- make sure driver is installed\n"
                                 "- make sure turntable is powered on\n"
                                 "- make sure turntable is connected via USB\n"
                                 "\n"
                                 "Next steps on Linux, which needs no driver for the chip:\n"
                                 "- unplug the turntable's USB cable and plug it in again\n"
                                 "- to try this program without a turntable: --backend "
                                 "simulator\n"
                                 "Press '-1' to exit from test application\n";

ProgramResult runConsole(const std::string& input, InputEnd end) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The default backend, which prints no line of its own.
    environment.remove(QStringLiteral("KALVERA_TURNTABLE_BACKEND"));
    return runProgram(QStringLiteral(KALVERA_CONSOLE_PROGRAM), input, end, environment);
}

void expectNoTurntable(const ProgramResult& run) {
    ASSERT_TRUE(run.finished) << "the program did not end; output so far:\n" << run.output;
    if (run.output.find("Press '0' to open") != std::string::npos) {
        GTEST_SKIP() << "an FT245R is attached:\n" << run.output;
    }
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, kNoTurntable);
    EXPECT_EQ(run.errors, "");
}

// Without a device only a negative choice is taken: 0 and 1 are read again.
TEST(ConsoleWithoutChip, OnlyTheExitIsOffered) {
    expectNoTurntable(runConsole("0\n1\n-1\n", InputEnd::KeptOpen));
}

TEST(ConsoleWithoutChip, TheEndOfInputExits) {
    expectNoTurntable(runConsole("0\n", InputEnd::Closed));
}

} // namespace

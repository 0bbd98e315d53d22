// The DC table behind a chip with mask 0xEF, driven as the DC driver drives it.
#include "PinModelFixture.h"

#include <ftdisim/DcTable.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using ftdisim::Bus;
using ftdisim::Clock;
using ftdisim::DcChunk;
using ftdisim::DcTable;
using ftdisim::TraceEvent;

namespace {

constexpr UCHAR kStopped = DcTable::kStoppedLine;
constexpr UCHAR kStart = DcTable::kStartLine;
constexpr UCHAR kContinuous = DcTable::kContinuousLine;
constexpr UCHAR kLoad = DcTable::kLoadLine;
constexpr UCHAR kIdleNibble = 0x0E;

class DcTableTest : public PinModelTest {
protected:
    void SetUp() override {
        PinModelTest::SetUp();
        openInBitBang(ftdisim::TurntableRig::kDcTableMask);
        rig_ = rig();
    }

    DcTable& table() { return rig_->dcTable(); }

    // Load low, then high: the counter takes the nibble.
    void loadCounter(UCHAR nibble, UCHAR lines = 0) {
        write(lines | nibble);
        write(lines | nibble | kLoad);
    }
    // Start low, high, low; the time the pulse ended.
    Clock::time_point pulseStart(UCHAR lines) {
        write(lines);
        write(lines | kStart);
        write(lines);
        return lastAccessTime();
    }
    bool stopped() { return (read() & kStopped) != 0; }
    // Polls the stopped line like the driver; false if the table still turns
    // at the deadline.
    bool waitUntilStopped() {
        const Clock::time_point deadline = Clock::now() + 10s;
        while (!stopped()) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    std::shared_ptr<ftdisim::TurntableRig> rig_;
};

struct ChunkSize {
    UCHAR nibble;
    unsigned counts;
};

class DcTableChunk : public DcTableTest, public ::testing::WithParamInterface<ChunkSize> {};

TEST_P(DcTableChunk, RunsTheCountsFromTheLoadedNibbleToFifteen) {
    const ChunkSize size = GetParam();
    loadCounter(size.nibble);
    const Clock::time_point start = pulseStart(size.nibble | kLoad);

    const std::vector<DcChunk> chunks = table().chunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].start, start);
    EXPECT_EQ(chunks[0].counts, size.counts);
    EXPECT_EQ(chunks[0].nibble, size.nibble);
    EXPECT_FALSE(chunks[0].continuous);
    EXPECT_EQ(chunks[0].end, start + size.counts * DcTable::kDefaultTimePerCount);
}

INSTANTIATE_TEST_SUITE_P(Nibbles, DcTableChunk,
                         ::testing::Values(ChunkSize{7, 8}, ChunkSize{15, 16},
                                           ChunkSize{kIdleNibble, 1}, ChunkSize{0, 15}));

TEST_F(DcTableTest, LoadsTheCounterOnTheRisingEdgeOfLoadOnly) {
    loadCounter(7);
    write(kLoad | 3);
    write(3);
    pulseStart(3);
    ASSERT_EQ(table().chunks().size(), 1u);
    EXPECT_EQ(table().chunks()[0].nibble, 7u);
    EXPECT_EQ(table().chunks()[0].counts, 8u);
}

TEST_F(DcTableTest, StartsWhenThePulseEndsAndIgnoresPulsesWhileTurning) {
    table().setTimePerCount(1s);
    loadCounter(0);
    write(kLoad | kStart);
    EXPECT_TRUE(table().chunks().empty());
    EXPECT_TRUE(stopped());
    write(kLoad);
    const Clock::time_point start = lastAccessTime();
    pulseStart(kLoad);
    pulseStart(kLoad);

    const std::vector<DcChunk> chunks = table().chunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].start, start);
    EXPECT_EQ(chunks[0].end, start + 15s);
}

TEST_F(DcTableTest, ATableThatNeverStartsIgnoresStartPulses) {
    table().setStarts(false);
    loadCounter(0);
    pulseStart(kLoad);
    EXPECT_TRUE(table().chunks().empty());
    EXPECT_TRUE(stopped());
    table().setStarts(true);
    pulseStart(kLoad);
    EXPECT_EQ(table().chunks().size(), 1u);
}

TEST_F(DcTableTest, StoppedLineIsLowWhileTurningAndHighAfterTheCounts) {
    constexpr auto kRun = 4 * DcTable::kDefaultTimePerCount;
    loadCounter(0x0B);
    const Clock::time_point before = Clock::now();
    const Clock::time_point start = pulseStart(0x0B | kLoad);
    const bool turnedAtFirst = !stopped();
    ASSERT_TRUE(waitUntilStopped());
    const Clock::duration elapsed = Clock::now() - before;

    EXPECT_TRUE(turnedAtFirst);
    EXPECT_GE(elapsed, kRun);
    EXPECT_LT(elapsed, kRun + 10s);
    // A read returns the sample the chip took at the purge before it: a
    // thread kept from running between the two reads an older level.
    constexpr auto kPurgeToRead = 200ms;
    for (const TraceEvent& event : Bus::instance().trace(device()).events) {
        const bool clear = event.time < start + kRun || event.time >= start + kRun + kPurgeToRead;
        if (event.kind == TraceEvent::Kind::Read && clear) {
            EXPECT_EQ((event.value & kStopped) != 0, event.time >= start + kRun);
        }
    }
    EXPECT_EQ(table().countsTurned(), 4u);
    EXPECT_FALSE(table().isTurning());
}

TEST_F(DcTableTest, ContinuousRunTurnsUntilItsLineDropsThenFinishesItsCount) {
    constexpr auto kCount = 50ms;
    table().setTimePerCount(kCount);
    loadCounter(kIdleNibble, kContinuous);
    const Clock::time_point start = pulseStart(kIdleNibble | kLoad | kContinuous);
    std::this_thread::sleep_for(3 * kCount);
    EXPECT_FALSE(stopped());
    EXPECT_TRUE(table().chunks().at(0).continuous);
    EXPECT_FALSE(table().chunks().at(0).end.has_value());
    EXPECT_EQ(table().countsTurned(start + 2 * kCount + kCount / 2), 2u);

    write(kIdleNibble | kLoad);
    const auto counts = static_cast<unsigned>((lastAccessTime() - start) / kCount + 1);
    EXPECT_GE(counts, 4u);
    const DcChunk chunk = table().chunks().at(0);
    EXPECT_EQ(chunk.counts, counts);
    EXPECT_EQ(chunk.end, start + counts * kCount);
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_EQ(table().countsTurned(), counts);
}

TEST_F(DcTableTest, ContinuousLineRaisedWhileCountingHoldsTheChunkUntilItDrops) {
    table().setTimePerCount(1s);
    loadCounter(0);
    const Clock::time_point start = pulseStart(kLoad);
    write(kLoad | kContinuous);
    EXPECT_FALSE(table().chunks().at(0).end.has_value());
    write(kLoad);
    EXPECT_EQ(table().chunks().at(0).counts, 1u);
    EXPECT_EQ(table().chunks().at(0).end, start + 1s);
}

TEST_F(DcTableTest, LoadWhileTurningStopsTheChunkWhereTheCounterReachesFifteen) {
    constexpr auto kCount = 200ms;
    table().setTimePerCount(kCount);
    loadCounter(0);
    const Clock::time_point start = pulseStart(kLoad);
    std::this_thread::sleep_for(kCount + kCount / 4);

    loadCounter(kIdleNibble);
    const auto marks = static_cast<unsigned>((lastAccessTime() - start) / kCount);
    EXPECT_GE(marks, 1u);
    const DcChunk chunk = table().chunks().at(0);
    EXPECT_EQ(chunk.counts, marks + 1);
    EXPECT_EQ(chunk.end, start + (marks + 1) * kCount);
}

} // namespace

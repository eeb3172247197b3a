#include "output/nmea_log_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::Blocker;
using testing::FixAt;
using testing::ScopedTimeZone;
using testing::WriterBench;

constexpr char kRmc[] = "$GPRMC,025644.50,A,5128.6728,N,00000.0882,W,0.0,0.0,061226,,*3B";
constexpr char kGga[] = "$GPGGA,025644.50,5128.6728,N,00000.0882,W,1,08,1.0,35.2,M,,M,,*47";

// A heap that refuses the first `failures` blocks and counts what it hands out.
struct TestHeap {
  static inline int failures = 0;
  static inline int live = 0;
  static char* Allocate(size_t size) {
    if (failures > 0) {
      --failures;
      return nullptr;
    }
    ++live;
    return new char[size];
  }
  static void Release(char* block) {
    --live;
    delete[] block;
  }
};

class NmeaLogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestHeap::failures = 0;
    TestHeap::live = 0;
  }
  ScopedTimeZone utc_{"UTC"};
  WriterBench bench;
  GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
};

TEST_F(NmeaLogWriterTest, LogsSentencesAsReceivedFromTheFirstDatedOne) {
  NmeaLogWriter log(bench.files, bench.clock, bench.log);
  EXPECT_EQ(log.Flush(), 0);  // nothing yet, not even a block
  EXPECT_EQ(log.AddSentence(fix, kGga, false), kNoDateYet);
  EXPECT_EQ(log.AddSentence(fix, kRmc, true), 0);
  EXPECT_EQ(log.AddSentence(fix, kGga, false), 0);
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.nmea"), std::string(kRmc) + "\r\n" + kGga + "\r\n");
  EXPECT_EQ(bench.panel.Log(), "");
}

// A log cut inside a sentence by a power cut: the next sentences start on a
// line of their own, so a replay loses only the cut one.
TEST_F(NmeaLogWriterTest, SentencesAfterALineCutByACrashStartOnALineOfTheirOwn) {
  const std::string before = std::string(kRmc) + "\r\n$GPGGA,025644.50,5128.67";
  bench.Write("2026-12-06.nmea", before);
  NmeaLogWriter log(bench.files, bench.clock, bench.log);
  EXPECT_EQ(log.AddSentence(fix, kRmc, true), 0);
  EXPECT_EQ(log.Flush(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.nmea"), before + "\r\n" + kRmc + "\r\n");
}

TEST_F(NmeaLogWriterTest, RefusesSentencesOverThreeHundredCharacters) {
  NmeaLogWriter log(bench.files, bench.clock, bench.log, TestHeap::Allocate, TestHeap::Release);
  EXPECT_EQ(log.AddSentence(fix, std::string(301, 'x').c_str(), true), kSentenceTooLong);
  EXPECT_EQ(TestHeap::live, 0);  // refused before the block is taken
  EXPECT_EQ(log.AddSentence(fix, std::string(300, 'x').c_str(), true), 0);
  EXPECT_EQ(log.fill(), 302);
}

TEST_F(NmeaLogWriterTest, NoMemoryIsPostedForEachSentenceUntilABlockIsGot) {
  TestHeap::failures = 2;
  {
    NmeaLogWriter log(bench.files, bench.clock, bench.log, TestHeap::Allocate, TestHeap::Release);
    EXPECT_EQ(log.AddSentence(fix, kRmc, true), kNoMemory);
    EXPECT_EQ(log.AddSentence(fix, kRmc, true), kNoMemory);
    EXPECT_EQ(log.Flush(), 0);
    EXPECT_EQ(log.AddSentence(fix, kRmc, true), 0);
    EXPECT_EQ(bench.panel.Log(), "(1) No memory for NMEA-buffer! \r\n(2) No memory for NMEA-buffer! \r\n");
    EXPECT_EQ(std::wstring(log.output().file().message()), L"(2) No memory for NMEA-buffer! \r\n");
    EXPECT_EQ(TestHeap::live, 1);
  }
  EXPECT_EQ(TestHeap::live, 0);
  EXPECT_FALSE(fs::exists(bench.Folder()));  // released without writing
}

TEST_F(NmeaLogWriterTest, BlockFillsToItsLimitBeforeItIsFlushed) {
  NmeaLogWriter log(bench.files, bench.clock, bench.log);
  const std::string longest = "$GPGGA," + std::string(293, 'x');
  const std::string last = "$GPGGA," + std::string(93, 'x');  // 100 characters
  const int32_t target = NmeaLogWriter::kFlushLimit - 100;
  log.AddSentence(fix, kRmc, true);
  while (log.fill() + 302 + 20 <= target) log.AddSentence(fix, longest.c_str(), false);
  const std::string filler = "$GPGGA," + std::string(static_cast<size_t>(target - log.fill() - 2 - 7), 'x');
  log.AddSentence(fix, filler.c_str(), false);
  ASSERT_EQ(log.fill(), target);
  log.AddSentence(fix, last.c_str(), false);
  EXPECT_EQ(log.fill(), 32760);
  EXPECT_FALSE(bench.Exists("2026-12-06.nmea"));

  log.AddSentence(fix, "$GPGGA", false);
  EXPECT_EQ(bench.Read("2026-12-06.nmea").size(), 32760u);
  EXPECT_EQ(std::string(log.pending()), "$GPGGA\r\n");
}

TEST_F(NmeaLogWriterTest, GgaAfterLocalMidnightStaysWithTheLastRmcDay) {
  ScopedTimeZone berlin("Europe/Berlin");
  NmeaLogWriter log(bench.files, bench.clock, bench.log);
  log.AddSentence(FixAt(6, 12, 26, 22, 59, 59.0), "$GPRMC,225959", true);
  log.AddSentence(fix, "$GPGGA,230000", false);  // local midnight has passed
  log.AddSentence(FixAt(6, 12, 26, 23, 0, 1.0), "$GPRMC,230001", true);
  EXPECT_EQ(bench.Read("2026-12-06.nmea"), "$GPRMC,225959\r\n$GPGGA,230000\r\n");
  ASSERT_EQ(log.Flush(), 0);
  EXPECT_EQ(bench.Read("2026-12-07.nmea"), "$GPRMC,230001\r\n");
}

TEST_F(NmeaLogWriterTest, TimedFlushAndItsFailure) {
  NmeaLogWriter log(bench.files, bench.clock, bench.log);
  testing::PlaceBlocker(bench, Blocker::kDayFileIsDevFull, "2026-12-06.nmea");
  bench.clock.now = 300001;
  // No header: the full device fails the data write itself, and the
  // sentence stays pending for the next attempt.
  EXPECT_EQ(log.AddSentence(fix, kRmc, true), kDataWriteFailed);
  EXPECT_EQ(bench.panel.Log(), "(1) File Write Error: 28 \r\n");
  EXPECT_EQ(log.fill(), static_cast<int32_t>(sizeof kRmc + 1));

  fs::remove(bench.Folder() / "2026-12-06.nmea");
  EXPECT_EQ(log.AddSentence(fix, kGga, false), 0);
  EXPECT_EQ(bench.Read("2026-12-06.nmea"), std::string(kRmc) + "\r\n" + kGga + "\r\n");
}

}  // namespace
}  // namespace pathmere

#include "route/route_file_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "route/route_tail.h"
#include "support/day_file_headers.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::FixAt;
using testing::ScopedTimeZone;
using testing::WriterBench;

const std::string kHeader20261206 = testing::RouteHeader(2026, 12, 6);

// All bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string PointLine(const std::string& numbers, const std::string& name) {
  return "W,1," + numbers + "," + name + ",48.13781000,11.57549000,46362.50035012,0,1,3,0,65535,,0,0, \r\n";
}

// What the continuation reads of a day's file of 93 bytes or more: the last
// 256 bytes, or all but the first two of a shorter file.
std::string_view TailAsRead(const std::string& file) {
  const std::string_view all(file);
  return all.size() >= 258 ? all.substr(all.size() - 256) : all.substr(2);
}

// 6 December 2026, 12:00:30.25 UTC at 48.13781 N 11.57549 E: letters EE.
GpsFix Munich(int minute = 0, double seconds = 30.25) {
  return FixAt(6, 12, 26, 12, minute, seconds, 48.13781, 11.57549);
}

class RouteFileWriterTest : public ::testing::Test {
 protected:
  // The day's file as the next point's continuation finds it.
  void DayFile(const std::string& content) { bench.Write("2026-12-06.rte", content); }
  std::string FlushedFile() {
    EXPECT_EQ(writer.Flush(), 0);
    return bench.Read("2026-12-06.rte");
  }

  ScopedTimeZone utc_{"UTC"};
  WriterBench bench;
  RouteFileWriter writer{bench.files, bench.clock, bench.log};
};

TEST_F(RouteFileWriterTest, NewDayStartsWithHeaderAndPointOne) {
  EXPECT_EQ(kHeader20261206.size(), 107u);
  EXPECT_EQ(writer.AddPoint(Munich()), 0);
  EXPECT_EQ(FlushedFile(), kHeader20261206 + PointLine("  1,  1", "REE001"));
  EXPECT_EQ(bench.panel.Log(), "");
}

TEST_F(RouteFileWriterTest, RestartOnTheSameDayContinuesTheRoute) {
  DayFile(kHeader20261206 + PointLine(" 16, 16", "RBK016") + PointLine(" 17, 17", "RBK017"));
  writer.AddPoint(Munich(5));
  EXPECT_EQ(bench.panel.Log(), "(1) Route continued... \r\n");
  const std::string before = bench.Read("2026-12-06.rte");
  const std::string file = FlushedFile();
  EXPECT_EQ(file.substr(0, before.size()), before);
  EXPECT_EQ(file.substr(before.size(), 43), "W,1, 18, 18,RBK018,48.13781000,11.57549000,");
}

TEST_F(RouteFileWriterTest, NameNumberWrapsToTheNextSecondLetter) {
  struct Row {
    const char* last;
    const char* next;
  };
  for (const Row& row : {Row{"RBK999", "RBL000"}, Row{"RBZ999", "RBA000"}, Row{"RZZ998", "RZZ999"}}) {
    WriterBench fresh;
    fresh.Write("2026-12-06.rte", kHeader20261206 + PointLine("  4,  4", row.last));
    RouteFileWriter route(fresh.files, fresh.clock, fresh.log);
    route.AddPoint(Munich());
    route.Flush();
    EXPECT_NE(fresh.Read("2026-12-06.rte").find(std::string("W,1,  5,  5,") + row.next + ","),
              std::string::npos)
        << row.last;
  }
}

TEST_F(RouteFileWriterTest, ThousandthPointIsFourDigitsWideAndRenamed) {
  DayFile(kHeader20261206 + PointLine("998,998", "RBK998"));
  writer.AddPoint(Munich(1));
  writer.AddPoint(Munich(2));
  writer.AddPoint(Munich(3));
  const std::string file = FlushedFile();
  EXPECT_NE(file.find("\nW,1,999,999,RBK999,"), std::string::npos);
  EXPECT_NE(file.find("\nW,1,1000,1000,RBL000,"), std::string::npos);
  EXPECT_NE(file.find("\nW,1,1001,1001,RBL001,"), std::string::npos);
}

// Every outcome of the continuation. Unless it continues, the writer keeps
// the new route: point 1, letters EE from day 6 and the position. The tail
// parser, given the bytes the writer reads, comes to the same result.
TEST_F(RouteFileWriterTest, ContinuationOutcomes) {
  const std::string header = kHeader20261206;
  const std::string last17 = PointLine(" 17, 17", "RBK017");
  // A point line whose line feed lies at `offset`, padded to `size` bytes.
  auto placed = [](size_t offset, size_t size) {
    std::string content(offset, 'x');
    content += "\nW,1, 17, 17,RBK017,0,0,1,0,1,3,0,65535,,0,0, \r\n";
    content.resize(size, 'y');
    return content;
  };
  std::mt19937 random(20261206);
  std::string noise(600, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (size_t i = 0; i + 1 < noise.size(); ++i) {
    if (noise[i] == '\n' && noise[i + 1] == 'W') noise[i + 1] = 'w';
  }
  struct Row {
    const char* legend;
    std::string file;  // empty: no file of the day
    const char* message;
    int32_t pointNumber;  // of the next point
    const char* nextName;
  };
  const Row rows[] = {
      {"no file of the day", "", "", 1, "REE001"},
      {"92 bytes", placed(10, 92), "", 1, "REE001"},
      {"93 bytes", placed(10, 93), "(1) Route continued... \r\n", 18, "RBK018"},
      {"257 bytes, line feed at byte 2", placed(2, 257), "(1) Route continued... \r\n", 18, "RBK018"},
      {"257 bytes, line feed at byte 1", placed(1, 257), "(1) Route point not found \r\n", 1, "REE001"},
      {"258 bytes, line feed at byte 2", placed(2, 258), "(1) Route continued... \r\n", 18, "RBK018"},
      {"258 bytes, line feed at byte 1", placed(1, 258), "(1) Route point not found \r\n", 1, "REE001"},
      {"header only", header, "(1) Route point not found \r\n", 1, "REE001"},
      {"line feed of the last point before the tail",
       header + "\nW,1, 17, 17,RBK017," + std::string(300, '0'), "(1) Route point not found \r\n", 1,
       "REE001"},
      {"binary noise", header + noise, "(1) Route point not found \r\n", 1, "REE001"},
      {"NUL bytes before the point line", header + std::string(40, '\0') + "\r\n" + last17,
       "(1) Route continued... \r\n", 18, "RBK018"},
      {"NUL in the number field",
       header + Bytes("\nW,1,\0"
                      "17, 17,RBK017,0,0,0, \r\n"),
       "", 1, "REE001"},
      {"NUL in the name",
       header + Bytes("\nW,1, 17, 17,RBK0\0"
                      "17,0,0,0, \r\n"),
       "", 1, "REE001"},
      {"NUL after the name number", header + Bytes("\nW,1, 17, 17,RBK017\0,0,0,0, \r\n"),
       "(1) Route continued... \r\n", 18, "RBK018"},
      {"route line of the header is no point", header + "\r\n", "(1) Route point not found \r\n", 1,
       "REE001"},
      {"point number 0", header + PointLine("  0,  0", "RBK017"), "", 1, "REE001"},
      {"point number -5", header + PointLine(" -5, -5", "RBK017"), "", 1, "REE001"},
      {"point number 2,000,000,000", header + PointLine("2000000000,2000000000", "RBK017"),
       "(1) Route continued... \r\n", 2000000001, "RBK018"},
      {"point number beyond int32", header + PointLine("99999999999,1", "RBK017"), "", 1, "REE001"},
      {"name in lower case", header + PointLine(" 17, 17", "Rbk017"), "", 1, "REE001"},
      {"name without R", header + PointLine(" 17, 17", "XBK017"), "", 1, "REE001"},
      {"name number 1000", header + PointLine(" 17, 17", "RBK1000"), "", 1, "REE001"},
      {"name number -1", header + PointLine(" 17, 17", "RBK-01"), "", 1, "REE001"},
      {"name cut by the end of the file", header + "\nW,1, 17, 17,RBK01", "", 1, "REE001"},
      {"one comma only", header + "\nW,1, 17" + std::string(20, ' '), "", 1, "REE001"},
      {"name of six characters at the end", header + "\nW,1, 17, 17,RBK017", "(1) Route continued... \r\n",
       18, "RBK018"},
      {"the last of two point lines counts", header + PointLine(" 16, 16", "RXY500") + last17,
       "(1) Route continued... \r\n", 18, "RBK018"},
      {"a broken point line after a whole one", header + last17 + "\nW,1,x", "", 1, "REE001"},
      {"point line of route 2 only", header + "\nW,2, 17, 17,RBK017,0,0,0, \r\n",
       "(1) Route point not found \r\n", 1, "REE001"},
      {"point number at the top of the range", header + PointLine("2147483647,2147483647", "RBK017"), "", 1,
       "REE001"},
      {"name number of one digit", header + PointLine(" 17, 17", "RBK7"), "(1) Route continued... \r\n", 18,
       "RBK008"},
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    if (!row.file.empty()) fresh.Write("2026-12-06.rte", row.file);
    RouteFileWriter route(fresh.files, fresh.clock, fresh.log);
    route.AddPoint(Munich());
    EXPECT_EQ(fresh.panel.Log(), row.message) << row.legend;
    EXPECT_EQ(route.pointNumber(), row.pointNumber + 1) << row.legend;
    EXPECT_EQ(std::string(route.pending()).substr(0, 4), "W,1,") << row.legend;
    EXPECT_NE(std::string(route.pending()).find(std::string(",") + row.nextName + ","), std::string::npos)
        << row.legend;
    // The continuation never changes the file; new points go after it.
    EXPECT_EQ(route.Flush(), 0) << row.legend;
    const std::string after = fresh.Read("2026-12-06.rte");
    if (row.file.empty()) {
      EXPECT_EQ(after.substr(0, 107), kHeader20261206) << row.legend;
    } else {
      EXPECT_EQ(after.substr(0, row.file.size()), row.file) << row.legend;
    }

    if (row.file.size() < 93) continue;  // not read at all
    const RouteTail last = ParseLastRoutePoint(TailAsRead(row.file));
    const std::string message = row.message;
    if (message.empty()) {
      EXPECT_EQ(last.outcome, RouteTail::Outcome::kUnusablePoint) << row.legend;
    } else if (message == "(1) Route point not found \r\n") {
      EXPECT_EQ(last.outcome, RouteTail::Outcome::kNoPointLine) << row.legend;
    } else {
      ASSERT_EQ(last.outcome, RouteTail::Outcome::kLastPoint) << row.legend;
      EXPECT_EQ(last.pointNumber + 1, row.pointNumber) << row.legend;
      EXPECT_EQ(std::string({'R', last.letters[0], last.letters[1]}), std::string(row.nextName, 3))
          << row.legend;
      EXPECT_EQ(last.nameNumber + 1, std::stoi(row.nextName + 3)) << row.legend;
    }
  }
}

// A power cut can leave the route file ending inside its last point. Whether
// or not the route is continued (a cut name is not, a whole one is), the new
// points start on a line of their own instead of completing the fragment.
TEST_F(RouteFileWriterTest, PointsAfterALineCutByACrashStartOnALineOfTheirOwn) {
  struct Row {
    const char* legend;
    std::string cutLine;
    const char* firstNewPoint;
  };
  const Row rows[] = {
      {"cut in the name", "W,1, 17, 17,RBK01", "W,1,  1,  1,REE001,48.13781000,"},
      {"cut after the name", "W,1, 17, 17,RBK017,48.1378", "W,1, 18, 18,RBK018,48.13781000,"},
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    const std::string before = kHeader20261206 + PointLine(" 16, 16", "RBK016") + row.cutLine;
    fresh.Write("2026-12-06.rte", before);
    RouteFileWriter route(fresh.files, fresh.clock, fresh.log);
    route.AddPoint(Munich());
    ASSERT_EQ(route.Flush(), 0) << row.legend;
    const std::string after = fresh.Read("2026-12-06.rte");
    EXPECT_EQ(after.substr(0, before.size() + 2), before + "\r\n") << row.legend;
    EXPECT_EQ(after.substr(before.size() + 2, 31), row.firstNewPoint) << row.legend;
    EXPECT_EQ(after.substr(after.size() - 3), " \r\n") << row.legend;
  }
}

TEST_F(RouteFileWriterTest, DayFileThatIsAFolderStartsANewRouteAndFailsToFlush) {
  fs::create_directories(bench.Folder() / "2026-12-06.rte");
  writer.AddPoint(Munich());
  EXPECT_EQ(writer.pointNumber(), 2);
  EXPECT_STREQ(writer.namePrefix(), "REE");
  EXPECT_EQ(bench.panel.Log(), "");
  EXPECT_EQ(writer.Flush(), kOpenFailed);
  EXPECT_EQ(bench.panel.Log(), "(1) File Open Error: 21 \r\n");
}

TEST_F(RouteFileWriterTest, LettersComeFromTheLocalDayAndThePosition) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    int day;
    double latitude, longitude;
    const char* prefix;
  };
  const Row rows[] = {
      {6, 48.13781, 11.57549, "REE"},  // x = 59713.3: n 4, v 100
      {1, 0.0, 0.0, "RAQ"},            // v 16, the smallest
      {31, 0.0, 0.0009999, "RVH"},     // n 15, v 511, the largest
      {31, -1e-20, 0.0, "RVH"},        // a fraction that rounds to 1.0 still gives n 15
      {6, -0.0078125, 0.0, "RED"},     // x -7.8125: the fraction counts up from -8, n 3
      {6, nan, 0.0, "REA"},            // no position: n 0
      {6, 1e300, 0.0, "REA"},          // no fraction left
  };
  for (const Row& row : rows) {
    WriterBench fresh;
    RouteFileWriter route(fresh.files, fresh.clock, fresh.log);
    route.AddPoint(FixAt(row.day, 12, 26, 12, 0, 0.0, row.latitude, row.longitude));
    EXPECT_STREQ(route.namePrefix(), row.prefix) << row.day << " " << row.latitude;
  }
}

TEST_F(RouteFileWriterTest, LocalMidnightStartsTheNewDaysRoute) {
  ScopedTimeZone berlin("Europe/Berlin");
  writer.AddPoint(FixAt(6, 12, 26, 22, 59, 50.0, 48.13781, 11.57549));
  writer.AddPoint(FixAt(6, 12, 26, 22, 59, 55.0, 48.13781, 11.57549));
  writer.AddPoint(FixAt(6, 12, 26, 23, 0, 10.0, 48.13781, 11.57549));  // 7 December, local
  const std::string oldDay = bench.Read("2026-12-06.rte");
  EXPECT_EQ(oldDay.substr(107, 20), "W,1,  1,  1,REE001,4");
  EXPECT_NE(oldDay.find("W,1,  2,  2,REE002,"), std::string::npos);
  ASSERT_EQ(writer.Flush(), 0);
  const std::string newDay = bench.Read("2026-12-07.rte");
  EXPECT_NE(newDay.find("R,1,R261207,Track 07.12.2026,16711680\r\n"), std::string::npos);
  // Day 7: v = 112 + 4, letters E and U; the date column stays UTC.
  EXPECT_EQ(newDay.substr(107),
            "W,1,  1,  1,REU001,48.13781000,11.57549000,46362.95844907,0,1,3,0,65535,,0,0, \r\n");
}

TEST_F(RouteFileWriterTest, FlushesWhenFullAndAfterItsOwnInterval) {
  writer.AddPoint(Munich(0, 0.0));
  bench.clock.now = 438000;
  writer.AddPoint(Munich(0, 1.0));
  EXPECT_FALSE(bench.Exists("2026-12-06.rte"));
  bench.clock.now = 438001;
  writer.AddPoint(Munich(0, 2.0));
  EXPECT_EQ(writer.fill(), 0);
  EXPECT_EQ(bench.Read("2026-12-06.rte").size(), 107u + 3 * 80);

  int points = 0;
  while (writer.fill() < RouteFileWriter::kFlushThreshold) writer.AddPoint(Munich(1, points++));
  const int32_t fullFill = writer.fill();
  writer.AddPoint(Munich(2));
  EXPECT_EQ(bench.Read("2026-12-06.rte").size(), 107u + 3 * 80 + static_cast<size_t>(fullFill));
  EXPECT_EQ(writer.fill(), 80);
}

TEST_F(RouteFileWriterTest, LineTooLongForTheRestOfTheAreaIsLeftOutWithoutUsingANumber) {
  while (writer.fill() < 400) writer.AddPoint(Munich());  // no flush before the next
  const int32_t next = writer.pointNumber();
  const std::string before = writer.pending();
  writer.AddPoint(FixAt(6, 12, 26, 12, 0, 1.0, 1e300, 1e300));
  EXPECT_EQ(std::string(writer.pending()), before);
  EXPECT_EQ(writer.pointNumber(), next);
}

}  // namespace
}  // namespace pathmere

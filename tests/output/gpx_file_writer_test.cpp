#include "output/gpx_file_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "output/gpx_lines.h"
#include "output/gpx_mend.h"
#include "output/track_file_writer.h"
#include "support/gpx_checks.h"
#include "support/writer_bench.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::FixAt;
using testing::ScopedTimeZone;
using testing::WriterBench;

std::string Head(const GpsFix& fix) {
  char buffer[512];
  return {buffer, ComposeGpxHead("0.1", fix, buffer, sizeof buffer)};
}
std::string PointLine(const GpsFix& fix) {
  char buffer[640];
  return {buffer, ComposeGpxTrackPoint(fix, true, buffer, sizeof buffer)};
}
const std::string kTrackStart = "<trk><name>2026-12-06</name>\n";

// The real files, but a write that fails half way (a full disk) while
// `failWrites` is set: the one fault a test cannot cause in a file that
// already holds a document.
class HalfWritingFileSystem final : public FileSystem {
 public:
  explicit HalfWritingFileSystem(std::string root) : files_(std::move(root)) {}
  PathKind LookUp(std::wstring_view path) override { return files_.LookUp(path); }
  bool CreateDirectory(std::wstring_view path) override { return files_.CreateDirectory(path); }
  FileHandle OpenOrCreate(std::wstring_view path) override { return files_.OpenOrCreate(path); }
  FileHandle OpenExistingForRead(std::wstring_view path) override { return files_.OpenExistingForRead(path); }
  int64_t FileSize(FileHandle file) override { return files_.FileSize(file); }
  bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) override {
    return files_.Seek(file, offset, origin);
  }
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) override {
    return files_.Read(file, buffer, size, bytesRead);
  }
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) override {
    if (!failWrites || size < 40) return files_.Write(file, data, size, bytesWritten);
    files_.Write(file, data, size / 2, bytesWritten);
    return false;
  }
  bool Close(FileHandle file) override { return files_.Close(file); }
  bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) override {
    return files_.ListFolder(path, entries);
  }
  uint32_t LastError() const override { return failWrites ? 28 : files_.LastError(); }
  bool Truncate(FileHandle file, int64_t size) override { return files_.Truncate(file, size); }
  bool Rename(std::wstring_view from, std::wstring_view to) override { return files_.Rename(from, to); }
  bool Remove(std::wstring_view path) override { return files_.Remove(path); }

  bool failWrites = false;

 private:
  PosixFileSystem files_;
};

class GpxFileWriterTest : public ::testing::Test {
 protected:
  std::string Document() const { return bench.Read("2026-12-06.gpx"); }
  void ExpectValid() const {
    std::string problem;
    EXPECT_TRUE(testing::GpxIsValid(bench.Folder() / "2026-12-06.gpx", &problem)) << problem;
  }

  ScopedTimeZone berlin_{"Europe/Berlin"};
  WriterBench bench;
  GpxFileWriter writer{bench.files, bench.log, "0.1"};
};

TEST_F(GpxFileWriterTest, PointsWaitForTheFlushAndSegmentsBreakWhereTheTrackDoes) {
  const GpsFix first = FixAt(6, 12, 26, 2, 56, 44.5);
  writer.AddPoint(first);
  writer.AddPoint(FixAt(6, 12, 26, 2, 59, 44.5));  // 180 s on: the same segment
  EXPECT_FALSE(bench.Exists("2026-12-06.gpx"));
  EXPECT_EQ(writer.Flush(), kWriteOk);
  EXPECT_EQ(Document(), Head(first) + kTrackStart + "<trkseg>\n" + PointLine(first) +
                            PointLine(FixAt(6, 12, 26, 2, 59, 44.5)) + "</trkseg>\n</trk>\n</gpx>\n");
  ExpectValid();

  writer.AddPoint(FixAt(6, 12, 26, 3, 2, 45.0));  // 180.5 s on: a new segment
  writer.AddPoint(FixAt(6, 12, 26, 3, 2, 40.0));  // back in time: another
  EXPECT_EQ(writer.Flush(), kWriteOk);
  const std::string document = Document();
  EXPECT_TRUE(document.ends_with("</trkseg>\n<trkseg>\n" + PointLine(FixAt(6, 12, 26, 3, 2, 45.0)) +
                                 "</trkseg>\n<trkseg>\n" + PointLine(FixAt(6, 12, 26, 3, 2, 40.0)) +
                                 "</trkseg>\n</trk>\n</gpx>\n"))
      << document;
  EXPECT_EQ(testing::GpxTrackPoints(document), 4);
  size_t segments = 0;
  for (size_t at = document.find("<trkseg>"); at != std::string::npos;
       at = document.find("<trkseg>", at + 1)) {
    ++segments;
  }
  EXPECT_EQ(segments, 3u);
  ExpectValid();

  // A later run continues the file in a segment of its own.
  GpxFileWriter again(bench.files, bench.log, "0.1");
  again.AddPoint(FixAt(6, 12, 26, 3, 2, 50.0));
  EXPECT_EQ(again.Flush(), kWriteOk);
  EXPECT_EQ(testing::GpxTrackPoints(Document()), 5);
  EXPECT_TRUE(Document().ends_with("</trkseg>\n<trkseg>\n" + PointLine(FixAt(6, 12, 26, 3, 2, 50.0)) +
                                   "</trkseg>\n</trk>\n</gpx>\n"));
  ExpectValid();
}

TEST_F(GpxFileWriterTest, AWaypointGoesBeforeTheTrackAtOnceAndPendingPointsStayPending) {
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  EXPECT_EQ(writer.Flush(), kWriteOk);
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 45.5));
  const int32_t pending = writer.fill();
  EXPECT_EQ(writer.SaveWaypoint(FixAt(6, 12, 26, 2, 56, 45.5)), kWriteOk);
  EXPECT_EQ(writer.fill(), pending);
  EXPECT_FALSE(bench.Exists("2026-12-06.gpx.tmp"));
  const std::string document = Document();
  EXPECT_LT(document.find("<wpt "), document.find("<trk>"));
  EXPECT_NE(document.find("<name>W261206-035646</name>"), std::string::npos);
  EXPECT_EQ(testing::GpxTrackPoints(document), 1);
  ExpectValid();
  EXPECT_EQ(writer.Flush(), kWriteOk);
  EXPECT_EQ(testing::GpxTrackPoints(Document()), 2);
  ExpectValid();

  // A waypoint of a day without a file makes one with an empty track.
  EXPECT_EQ(writer.SaveWaypoint(FixAt(9, 12, 26, 10, 0, 0.0)), kWriteOk);
  std::string problem;
  EXPECT_TRUE(testing::GpxIsValid(bench.Folder() / "2026-12-09.gpx", &problem)) << problem;
}

TEST_F(GpxFileWriterTest, TheTrackWriterWritesItJustBeforeThePlt) {
  TrackFileWriter track(bench.files, bench.clock, bench.log);
  track.SetFollower(&writer);
  for (int second = 0; second < 30; ++second) {
    const GpsFix fix = FixAt(6, 12, 26, 2, 56, second);
    writer.AddPoint(fix);
    track.AddPoint(fix);
    // Whenever the .plt was written, the GPX was too, with no fewer points.
    if (bench.Exists("2026-12-06.plt")) {
      const std::string plt = bench.Read("2026-12-06.plt");
      EXPECT_GE(testing::GpxTrackPoints(Document()), std::count(plt.begin(), plt.end(), '\n') - 6);
    }
  }
  EXPECT_EQ(track.Flush(), kWriteOk);
  EXPECT_EQ(writer.fill(), 0);
  EXPECT_EQ(testing::GpxTrackPoints(Document()), 30);
}

TEST_F(GpxFileWriterTest, AnotherFolderGetsAFileOfItsOwnAndThePendingPointsStayWithTheOld) {
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  writer.SetFolder(L"\\Elsewhere");
  EXPECT_EQ(testing::GpxTrackPoints(Document()), 1);
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 45.5));
  EXPECT_EQ(writer.Flush(), kWriteOk);
  std::string problem;
  EXPECT_TRUE(testing::GpxIsValid(bench.Root() / "Elsewhere" / "2026-12-06.gpx", &problem)) << problem;
  EXPECT_EQ(testing::GpxTrackPoints(testing::ReadWholeFile(bench.Root() / "Elsewhere" / "2026-12-06.gpx")),
            1);
}

TEST(GpxFileWriterFaultTest, AFailedWriteLeavesThePreviousDocumentAndKeepsThePoints) {
  ScopedTimeZone berlin("Europe/Berlin");
  WriterBench bench;
  HalfWritingFileSystem files(bench.Root().string());
  GpxFileWriter writer(files, bench.log, "0.1");
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 44.5));
  ASSERT_EQ(writer.Flush(), kWriteOk);
  const std::string before = bench.Read("2026-12-06.gpx");
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 45.5));
  writer.AddPoint(FixAt(6, 12, 26, 2, 56, 46.5));
  const int32_t pending = writer.fill();
  files.failWrites = true;
  EXPECT_EQ(writer.Flush(), kDataWriteFailed);
  EXPECT_EQ(bench.Read("2026-12-06.gpx"), before);
  EXPECT_EQ(writer.fill(), pending);
  EXPECT_NE(bench.panel.Log().find("File Write Error: 28"), std::string::npos) << bench.panel.Log();
  files.failWrites = false;
  EXPECT_EQ(writer.Flush(), kWriteOk);
  EXPECT_EQ(testing::GpxTrackPoints(bench.Read("2026-12-06.gpx")), 3);
}

// What a kill or a power cut can leave, read back before a run's first write.
TEST(GpxMendTest, ACutWriteIsCutBackToTheLastWholePoint) {
  const GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
  const std::string head = Head(fix) + kTrackStart;
  const std::string p1 = PointLine(fix);
  const std::string p2 = PointLine(FixAt(6, 12, 26, 2, 56, 45.5));
  const std::string body = head + "<trkseg>\n" + p1;
  const std::string closing = "</trkseg>\n</trk>\n</gpx>\n";
  struct Row {
    const char* legend;
    std::string text;
    bool own;
    size_t bodyEnd;  // with `own`
    bool segmentOpen;
    bool intact;
  };
  const Row rows[] = {
      {"complete", body + closing, true, body.size(), true, true},
      {"cut inside the closing tags", body + closing.substr(0, 12), true, body.size(), true, false},
      {"closing tags lost", body, true, body.size(), true, false},
      {"cut inside a point", body + p2.substr(0, 70), true, body.size(), true, false},
      {"cut after a segment's start", body + "</trkseg>\n<trkseg>\n<trk", true, body.size(), true, false},
      {"remains of old closing tags after a cut point", body + p2.substr(0, 10) + "k>\n</gpx>\n", true,
       body.size(), true, false},
      {"no point yet, complete", head + "</trk>\n</gpx>\n", true, head.size(), false, true},
      {"no point yet, cut", head + "</tr", true, head.size(), false, false},
      {"cut before the track's line", head.substr(0, head.size() - 10), false, 0, false, false},
      {"a whole point after the cut: line ends changed",
       body + p2.substr(0, p2.size() - 1) + "\r\n" + closing, false, 0, false, false},
      {"another program's GPX", "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"gpsd\">\n</gpx>\n",
       false, 0, false, false},
      {"empty", "", false, 0, false, false},
  };
  for (const Row& row : rows) {
    const GpxShape shape = InspectGpx(row.text);
    EXPECT_EQ(shape.own, row.own) << row.legend;
    if (!row.own) continue;
    EXPECT_EQ(shape.bodyEnd, row.bodyEnd) << row.legend;
    EXPECT_EQ(shape.segmentOpen, row.segmentOpen) << row.legend;
    EXPECT_EQ(shape.intact, row.intact) << row.legend;
    EXPECT_EQ(shape.waypointsEnd, Head(fix).size()) << row.legend;
  }
}

TEST(GpxMendTest, TheFirstPointOfARunMendsTheFileOrPutsItAside) {
  ScopedTimeZone berlin("Europe/Berlin");
  const GpsFix fix = FixAt(6, 12, 26, 2, 56, 44.5);
  const std::string body = Head(fix) + kTrackStart + "<trkseg>\n" + PointLine(fix);
  const std::string complete = body + "</trkseg>\n</trk>\n</gpx>\n";
  const std::string foreign = "<?xml version=\"1.0\"?>\n<gpx creator=\"other\"></gpx>\n";
  struct Row {
    const char* legend;
    std::string before;
    std::string temporary;  // a cut waypoint's or first write's temporary file
    std::string aside;      // the name the old file is kept under
    int points;             // in the day's file afterwards
  };
  const Row rows[] = {
      {"cut inside a point", body + "<trkpt lat=\"51.4", "", "", 2},
      {"cut inside the closing tags", body + "</trkseg>\n</tr", "", "", 2},
      {"cut inside a waypoint's rewrite", complete, complete.substr(0, 300), "", 2},
      {"another program's file", foreign, "", "2026-12-06.gpx.broken-1", 1},
      {"cut before the track", body.substr(0, 100), "", "2026-12-06.gpx.broken-1", 1},
  };
  for (const Row& row : rows) {
    WriterBench bench;
    bench.Write("2026-12-06.gpx", row.before);
    if (!row.temporary.empty()) bench.Write("2026-12-06.gpx.tmp", row.temporary);
    GpxFileWriter writer(bench.files, bench.log, "0.1");
    writer.AddPoint(FixAt(6, 12, 26, 2, 57, 0.0));
    EXPECT_EQ(writer.Flush(), kWriteOk) << row.legend;
    std::string problem;
    EXPECT_TRUE(testing::GpxIsValid(bench.Folder() / "2026-12-06.gpx", &problem)) << row.legend << problem;
    EXPECT_EQ(testing::GpxTrackPoints(bench.Read("2026-12-06.gpx")), row.points) << row.legend;
    EXPECT_FALSE(bench.Exists("2026-12-06.gpx.tmp")) << row.legend;
    if (!row.aside.empty()) {
      EXPECT_EQ(bench.Read(row.aside), row.before) << row.legend;
      EXPECT_NE(bench.panel.Log().find("kept as " + row.aside), std::string::npos) << bench.panel.Log();
    } else {
      EXPECT_TRUE(bench.Read("2026-12-06.gpx").starts_with(body)) << row.legend;
    }
  }
  // A second file in the way goes beside the first, never over it.
  WriterBench bench;
  bench.Write("2026-12-06.gpx", foreign);
  bench.Write("2026-12-06.gpx.broken-1", "older");
  GpxFileWriter writer(bench.files, bench.log, "0.1");
  writer.AddPoint(fix);
  EXPECT_EQ(writer.Flush(), kWriteOk);
  EXPECT_EQ(bench.Read("2026-12-06.gpx.broken-1"), "older");
  EXPECT_EQ(bench.Read("2026-12-06.gpx.broken-2"), foreign);
}

}  // namespace
}  // namespace pathmere

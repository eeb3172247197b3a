#include "output/outbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_system_posix.h"
#include "support/faulty_file_system.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::TempFolder;

std::string Message(int n) { return "{\"n\":" + std::to_string(n) + "}"; }

// Everything from `from` to the end, as the sender would read it.
std::vector<std::string> ReadAll(Outbox& outbox, Outbox::Position from) {
  std::vector<std::string> lines;
  std::string line;
  while (outbox.ReadNext(&from, &line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> Messages(int first, int last) {
  std::vector<std::string> lines;
  for (int n = first; n <= last; ++n) lines.push_back(Message(n));
  return lines;
}

std::vector<std::string> SegmentNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".jsonl") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class OutboxTest : public ::testing::Test {
 protected:
  TempFolder temp;
  fs::path folder = temp.path() / "state" / "pathmere" / "outbox";
  Outbox::Limits small{4, 3};  // 4 lines a segment, 3 segments
};

TEST_F(OutboxTest, KeepsEveryLineAcrossSegmentsAndAReopen) {
  {
    Outbox outbox(folder, small);
    ASSERT_TRUE(outbox.usable()) << outbox.problem();
    for (int n = 1; n <= 10; ++n) ASSERT_TRUE(outbox.Append(Message(n)));
    EXPECT_TRUE(outbox.Sync());
    EXPECT_EQ(ReadAll(outbox, outbox.cursor()), Messages(1, 10));
    EXPECT_EQ(outbox.Waiting(), 10);
    EXPECT_EQ(SegmentNames(folder),
              (std::vector<std::string>{"0000000001.jsonl", "0000000002.jsonl", "0000000003.jsonl"}));
  }
  Outbox again(folder, small);
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(1, 10));
  ASSERT_TRUE(again.Append(Message(11)));
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(1, 11));
  EXPECT_EQ(ReadWholeFile(folder / "0000000003.jsonl"), "{\"n\":9}\n{\"n\":10}\n{\"n\":11}\n");
}

TEST_F(OutboxTest, CursorMovesOnlyByAcknowledgementAndSurvivesAReopen) {
  Outbox::Position afterSix;
  {
    Outbox outbox(folder, small);
    for (int n = 1; n <= 7; ++n) outbox.Append(Message(n));
    Outbox::Position position = outbox.cursor();
    std::string line;
    for (int n = 1; n <= 6; ++n) outbox.ReadNext(&position, &line);
    afterSix = position;
    // Reading moved nothing: a crash now sends all seven again.
    EXPECT_EQ(outbox.cursor(), (Outbox::Position{1, 0}));
    outbox.Acknowledge(afterSix);
    EXPECT_EQ(outbox.Waiting(), 1);
    // The first segment is wholly acknowledged and goes.
    EXPECT_EQ(SegmentNames(folder), (std::vector<std::string>{"0000000002.jsonl"}));
    outbox.Sync();
  }
  Outbox again(folder, small);
  EXPECT_EQ(again.cursor(), afterSix);
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(7, 7));
  // All acknowledged at the end of a full segment: the next starts empty.
  again.Append(Message(8));
  again.Acknowledge(again.end());
  EXPECT_EQ(again.Waiting(), 0);
  again.Append(Message(9));
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(9, 9));
  EXPECT_EQ(SegmentNames(folder), (std::vector<std::string>{"0000000003.jsonl"}));
}

TEST_F(OutboxTest, ALineCutByACrashIsMendedAway) {
  {
    Outbox outbox(folder, small);
    outbox.Append(Message(1));
    outbox.Append(Message(2));
  }
  std::ofstream(folder / "0000000001.jsonl", std::ios::app) << "{\"n\":3";
  Outbox again(folder, small);
  EXPECT_EQ(ReadWholeFile(folder / "0000000001.jsonl"), "{\"n\":1}\n{\"n\":2}\n");
  again.Append(Message(3));
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(1, 3));
}

TEST_F(OutboxTest, BoundedByDroppingTheOldestToldOnce) {
  Outbox outbox(folder, small);
  for (int n = 1; n <= 12; ++n) outbox.Append(Message(n));
  EXPECT_EQ(outbox.dropped(), 0);
  EXPECT_FALSE(outbox.TakeDroppedNotice());
  outbox.Append(Message(13));  // a fourth segment: the first goes
  EXPECT_EQ(outbox.dropped(), 4);
  EXPECT_TRUE(outbox.TakeDroppedNotice());
  EXPECT_FALSE(outbox.TakeDroppedNotice());
  EXPECT_EQ(ReadAll(outbox, outbox.cursor()), Messages(5, 13));
  EXPECT_EQ(SegmentNames(folder).size(), 3u);
  // Lines already acknowledged in the dropped segment are not counted.
  Outbox::Position position = outbox.cursor();
  std::string line;
  outbox.ReadNext(&position, &line);
  outbox.ReadNext(&position, &line);
  outbox.Acknowledge(position);
  for (int n = 14; n <= 17; ++n) outbox.Append(Message(n));
  EXPECT_EQ(outbox.dropped(), 6);
  EXPECT_EQ(ReadAll(outbox, outbox.cursor()), Messages(9, 17));
}

TEST_F(OutboxTest, ACursorThatMakesNoSenseStartsAtTheOldestLine) {
  const struct {
    const char* legend;
    std::string cursor;
  } rows[] = {
      {"garbage", "not a cursor"},
      {"a segment long gone", "00000000000000000000 00000000000000000005\n"},
      {"an offset past the end", "00000000000000000001 00000000000000009999\n"},
  };
  for (const auto& row : rows) {
    fs::remove_all(folder);
    {
      Outbox outbox(folder, small);
      outbox.Append(Message(1));
      outbox.Append(Message(2));
    }
    std::ofstream(folder / "cursor", std::ios::trunc) << row.cursor;
    Outbox again(folder, small);
    const std::vector<std::string> expected =
        row.cursor.find("9999") != std::string::npos ? std::vector<std::string>{} : Messages(1, 2);
    EXPECT_EQ(ReadAll(again, again.cursor()), expected) << row.legend;
  }
}

TEST_F(OutboxTest, WhatAFullDiskDoesNotTakeWaitsInMemoryAndGoesToDiskInOrder) {
  fs::create_directories(folder);
  testing::FaultyFileSystem disk(folder.string());
  Outbox outbox(disk, folder, small);
  ASSERT_TRUE(outbox.usable()) << outbox.problem();
  for (int n = 1; n <= 3; ++n) ASSERT_TRUE(outbox.Append(Message(n)));
  disk.FailFromNow(ENOSPC);
  for (int n = 4; n <= 9; ++n) EXPECT_FALSE(outbox.Append(Message(n)));
  EXPECT_NE(outbox.problem().find("No space left on device"), std::string::npos) << outbox.problem();
  EXPECT_EQ(outbox.unwritten(), 6);
  EXPECT_EQ(outbox.Waiting(), 9);
  EXPECT_FALSE(outbox.Sync());
  disk.Recover();
  EXPECT_TRUE(outbox.Append(Message(10)));
  EXPECT_TRUE(outbox.Sync());
  EXPECT_EQ(outbox.unwritten(), 0);
  EXPECT_EQ(outbox.lost(), 0);
  EXPECT_TRUE(outbox.usable());
  EXPECT_EQ(ReadAll(outbox, outbox.cursor()), Messages(1, 10));
  Outbox again(folder, small);
  EXPECT_EQ(ReadAll(again, again.cursor()), Messages(1, 10));
}

// The disk fault walk over the outbox: each of its file operations fails in
// turn (a full disk, a read-only one, an I/O error), and once the disk works
// again every message is in the outbox once, in order, also after a restart.
TEST_F(OutboxTest, EveryFileOperationFailingInTurnLosesNoMessage) {
  const Outbox::Limits limits{8, 100};
  auto fill = [&](testing::FaultyFileSystem& disk) {
    Outbox outbox(disk, folder, limits);
    for (int n = 1; n <= 30; ++n) {
      outbox.Append(Message(n));
      if (n % 5 == 0) outbox.Sync();
    }
    disk.Recover();
    outbox.WriteUnwritten();
    outbox.Sync();
    return ReadAll(outbox, outbox.cursor());
  };
  fs::create_directories(folder);
  testing::FaultyFileSystem reference(folder.string());
  ASSERT_EQ(fill(reference), Messages(1, 30));
  const long operations = reference.operations;
  ASSERT_GT(operations, 20);
  for (long k = 1; k <= operations; ++k) {
    for (const uint32_t error : {ENOSPC, EROFS, EIO}) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      testing::FaultyFileSystem disk(folder.string());
      disk.FailAt(k, error);
      const std::string where = "operation " + std::to_string(k) + ", error " + std::to_string(error);
      EXPECT_EQ(fill(disk), Messages(1, 30)) << where;
      Outbox again(folder, limits);
      EXPECT_EQ(ReadAll(again, again.cursor()), Messages(1, 30)) << where;
    }
  }
}

TEST_F(OutboxTest, AFolderThatCannotBeMadeIsAProblemNotACrash) {
  std::ofstream(temp.path() / "file") << "x";
  Outbox outbox(temp.path() / "file" / "outbox", small);
  EXPECT_FALSE(outbox.usable());
  EXPECT_NE(outbox.problem().find("cannot create"), std::string::npos) << outbox.problem();
  EXPECT_FALSE(outbox.Append(Message(1)));
  EXPECT_EQ(outbox.lost(), 1);
  std::string line;
  Outbox::Position position;
  EXPECT_FALSE(outbox.ReadNext(&position, &line));
}

}  // namespace
}  // namespace pathmere

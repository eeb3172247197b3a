// Sentences cost no heap allocation: a whole pipeline (assembler, fix
// processing, status text, track, route and NMEA log writers) runs on the
// fixed buffers it was built with. A counting operator new shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/file_system_posix.h"
#include "platform/serial_posix.h"
#include "support/counting_panel.h"
#include "support/fake_tick_clock.h"
#include "support/nmea_builder.h"
#include "support/test_environment.h"

namespace {

// Counted only while a test asks for it, so the rest of the suite is not
// affected; always forwarded to malloc.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* CountedAllocation(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = CountedAllocation(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = CountedAllocation(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
// GCC takes the replaced operators for a malloc/delete mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace pathmere {
namespace {

// The real file system, with a count of the calls that name a path: those
// map the program's path onto the host's in a std::string, once per file
// opened, which happens per flush and per new day, not per sentence.
class PathCountingFileSystem final : public FileSystem {
 public:
  explicit PathCountingFileSystem(std::string root) : files_(std::move(root)) {}
  PathKind LookUp(std::wstring_view path) override {
    ++pathCalls;
    return files_.LookUp(path);
  }
  bool CreateDirectory(std::wstring_view path) override {
    ++pathCalls;
    return files_.CreateDirectory(path);
  }
  FileHandle OpenOrCreate(std::wstring_view path) override {
    ++pathCalls;
    return files_.OpenOrCreate(path);
  }
  FileHandle OpenExistingForRead(std::wstring_view path) override {
    ++pathCalls;
    return files_.OpenExistingForRead(path);
  }
  int64_t FileSize(FileHandle file) override { return files_.FileSize(file); }
  bool Seek(FileHandle file, int64_t offset, SeekOrigin origin) override {
    return files_.Seek(file, offset, origin);
  }
  bool Read(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) override {
    return files_.Read(file, buffer, size, bytesRead);
  }
  bool Write(FileHandle file, const void* data, uint32_t size, uint32_t* bytesWritten) override {
    return files_.Write(file, data, size, bytesWritten);
  }
  bool Close(FileHandle file) override { return files_.Close(file); }
  bool ListFolder(std::wstring_view path, std::vector<FolderEntry>* entries) override {
    ++pathCalls;
    return files_.ListFolder(path, entries);
  }
  uint32_t LastError() const override { return files_.LastError(); }
  // The GPX file is written whole through a temporary file.
  bool Truncate(FileHandle file, int64_t size) override { return files_.Truncate(file, size); }
  bool Rename(std::wstring_view from, std::wstring_view to) override {
    ++pathCalls;
    return files_.Rename(from, to);
  }
  bool Remove(std::wstring_view path) override {
    ++pathCalls;
    return files_.Remove(path);
  }

  long pathCalls = 0;

 private:
  PosixFileSystem files_;
};

// `seconds` of driving north at 60 km/h from 23:00 UTC, across midnight into
// a new day file, with a GSV sentence, a bad checksum every 50 seconds and
// an outlier 5 km away every 700.
std::string Drive(int firstSecond, int seconds) {
  std::string bytes;
  for (int i = firstSecond; i < firstSecond + seconds; ++i) {
    const double time = 23 * 3600.0 + i;
    const bool nextDay = time >= 86400.0;
    const double timeOfDay = nextDay ? time - 86400.0 : time;
    const double north = i * 60.0 / 3.6 + (i % 700 == 699 ? 5000.0 : 0.0);
    bytes += testing::Gga(timeOfDay, 1.0) + "\r\n";
    bytes += "$GPGSV,3,1,12,04,40,083,46,05,23,176,44,09,66,287,48,12,09,039,37*7A\r\n";
    std::string rmc = testing::Rmc({.timeOfDay = timeOfDay,
                                    .northMetres = north,
                                    .speedKmh = 60.0,
                                    .date = nextDay ? "071226" : "061226"});
    if (i % 50 == 49) rmc.back() = rmc.back() == '0' ? '1' : '0';
    bytes += rmc + "\r\n";
  }
  return bytes;
}

TEST(AllocationTest, SentencesThroughTheWholeProgramAllocateNothing) {
  testing::TempFolder folder;
  PathCountingFileSystem files(folder.path().string());
  testing::FakeTickClock clock{1000};
  TickHost host;
  testing::CountingPanel panel;
  PosixSerialPort port;  // never opened: the bytes are fed straight in
  Program program(files, clock, port, host);
  program.AttachPanel(&panel);
  program.SetOutputFolder(L"");
  program.SetNmeaLog(true);  // live capture: the raw log is written too

  // The first minute allocates what is allocated once (the NMEA log's block).
  const std::string warmUp = Drive(0, 60);
  const std::string drive = Drive(60, 7200);  // two hours, 21,600 sentences
  program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(warmUp.data()),
                            static_cast<int32_t>(warmUp.size()));

  allocations = 0;
  files.pathCalls = 0;
  counting = true;
  for (size_t at = 0; at < drive.size(); at += 1024) {
    const size_t block = std::min<size_t>(1024, drive.size() - at);
    program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(drive.data() + at),
                              static_cast<int32_t>(block));
    clock.now += 40;  // about a second of receiver output every 6 blocks
  }
  program.FlushWriters();
  counting = false;

  // Everything really went through: points in two day files and a route.
  EXPECT_GT(panel.status(), 0u);
  const auto plt = testing::ReadWholeFile(folder.path() / "2026-12-07.plt");
  EXPECT_GT(std::count(plt.begin(), plt.end(), '\n'), 1000);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "2026-12-06.plt"));
  EXPECT_GT(testing::ReadWholeFile(folder.path() / "2026-12-07.nmea").size(), 100000u);

  // Only naming files costs allocations (a host path each), and files are
  // opened per flush and per new day: far fewer than sentences, so one
  // allocation per sentence (21,600) could not pass.
  EXPECT_GT(files.pathCalls, 0);
  EXPECT_LT(files.pathCalls, 21600 / 20);
  EXPECT_LE(allocations.load(), 3 * files.pathCalls)
      << allocations.load() << " allocations for " << files.pathCalls << " path calls";
}

}  // namespace
}  // namespace pathmere

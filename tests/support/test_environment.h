#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pathmere::testing {

// The folder of recorded receiver logs (../shared/testdata/nmea beside the
// repository, or $PATHMERE_TESTDATA). Empty when it is not there.
std::filesystem::path RecordedLogFolder();
// Every recorded log (*.nmea and *.log), sorted by name.
std::vector<std::filesystem::path> RecordedLogs();
std::string ReadWholeFile(const std::filesystem::path& path);

// Sets TZ for the lifetime of the object and restores the old value after.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool hadOld_ = false;
  std::string old_;
};

// A fresh temporary folder, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace pathmere::testing

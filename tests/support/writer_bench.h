#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fix/gps_fix.h"
#include "messages/message_log.h"
#include "platform/file_system_posix.h"
#include "support/fake_tick_clock.h"
#include "support/recording_panel.h"
#include "support/test_environment.h"

namespace pathmere::testing {

// What every writer test needs: a device root in a fresh temporary folder,
// real files under it, a clock that moves only when told and a panel that
// records the messages. The writers' default folder "\Pathmere" is
// <root>/Pathmere.
struct WriterBench {
  WriterBench() : files(temp.path().string()) { log.AttachPanel(&panel); }

  std::filesystem::path Root() const { return temp.path(); }
  std::filesystem::path Folder() const { return temp.path() / "Pathmere"; }
  std::string Read(const std::string& name) const { return ReadWholeFile(Folder() / name); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Folder() / name); }
  void Write(const std::string& name, const std::string& content) const {
    std::filesystem::create_directories(Folder());
    std::ofstream(Folder() / name, std::ios::binary) << content;
  }

  TempFolder temp;
  PosixFileSystem files;
  FakeTickClock clock;
  RecordingPanel panel;
  MessageLog log;
};

inline GpsFix FixAt(int day, int month, int year, int hour, int minute, double seconds,
                    double latitude = 51.47788, double longitude = -0.00147, double altitude = 35.2) {
  GpsFix fix;
  fix.day = static_cast<uint8_t>(day);
  fix.month = static_cast<uint8_t>(month);
  fix.year = static_cast<uint8_t>(year);
  fix.hour = static_cast<uint8_t>(hour);
  fix.minute = static_cast<uint8_t>(minute);
  fix.seconds = seconds;
  fix.timeOfDay = hour * 3600.0 + minute * 60.0 + seconds;
  fix.latitude = latitude;
  fix.longitude = longitude;
  fix.altitude = altitude;
  fix.satellites = 8;
  fix.hdop = 1.0;
  return fix;
}

// The ways a day's file or its folder can be made to fail for real, even for
// root: by the kind of file in its place rather than by permissions.
enum class Blocker {
  kFolderIsAFile,       // creating the folder: EEXIST
  kGrandparentMissing,  // creating the folder: ENOENT
  kDayFileIsAFolder,    // opening: EISDIR
  kDayFileIsDevFull,    // writing the header: ENOSPC
  kDayFileIsAFifo,      // moving to the end: ESPIPE
};

// Puts the blocker for `fileName` in place. For kGrandparentMissing the writer
// must be pointed at GrandparentMissingFolder().
inline void PlaceBlocker(const WriterBench& bench, Blocker blocker, const std::string& fileName) {
  namespace fs = std::filesystem;
  switch (blocker) {
    case Blocker::kFolderIsAFile:
      std::ofstream(bench.Folder()) << "not a folder";
      break;
    case Blocker::kGrandparentMissing:
      break;
    case Blocker::kDayFileIsAFolder:
      fs::create_directories(bench.Folder() / fileName);
      break;
    case Blocker::kDayFileIsDevFull:
      fs::create_directories(bench.Folder());
      fs::create_symlink("/dev/full", bench.Folder() / fileName);
      break;
    case Blocker::kDayFileIsAFifo:
      fs::create_directories(bench.Folder());
      mkfifo((bench.Folder() / fileName).c_str(), 0600);
      break;
  }
}

inline const wchar_t* GrandparentMissingFolder() { return L"\\missing\\Pathmere"; }

}  // namespace pathmere::testing

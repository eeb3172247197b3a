#include "settings/settings_operations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/settings_store_file.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::TempFolder;

class SettingsOperationsTest : public ::testing::Test {
 protected:
  void WriteStoreFile(const std::string& content) {
    fs::create_directories(store_.filePath().parent_path());
    std::ofstream(store_.filePath(), std::ios::binary) << content;
  }
  int32_t LoadFolder() {
    folders_.clear();
    return LoadOutputDir(store_, [this](const wchar_t* folder) { folders_.emplace_back(folder); });
  }

  TempFolder temp_;
  FileSettingsStore store_{temp_.path() / "Brenix"};
  std::vector<std::wstring> folders_;
};

TEST_F(SettingsOperationsTest, FirstStartHasTheDefaultsAndNoFolder) {
  Settings settings;
  LoadSettings(store_, settings);
  EXPECT_EQ(settings.portNumber, -1);
  EXPECT_EQ(settings.portSpeed, 4800);
  EXPECT_EQ(settings.enableNmeaLog, 0);
  EXPECT_EQ(settings.hideAtStartup, 0);
  EXPECT_EQ(settings.gpsOnly, 0);
  EXPECT_EQ(settings.flushSeconds, 0);
  EXPECT_EQ(settings.gpxLog, 1);
  EXPECT_EQ(LoadFolder(), 1);
  EXPECT_TRUE(folders_.empty());
}

TEST_F(SettingsOperationsTest, SavedNumbersComeBackInTheirOrder) {
  Settings saved;
  saved.portNumber = 3;
  saved.portSpeed = 38400;
  saved.enableNmeaLog = 1;
  saved.hideAtStartup = 7;
  saved.gpsOnly = 1;
  saved.flushSeconds = 10;
  saved.gpxLog = 0;
  SaveSettings(store_, saved);
  EXPECT_EQ(ReadWholeFile(store_.filePath()),
            "[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]\n"
            "\"PortNumber\"=dword:00000003\n"
            "\"PortSpeed\"=dword:00009600\n"
            "\"EnableNmeaLog\"=dword:00000001\n"
            "\"HideAtStartup\"=dword:00000007\n"
            "\"GpsOnly\"=dword:00000001\n"
            "\"FlushSeconds\"=dword:0000000a\n"
            "\"GpxLog\"=dword:00000000\n");
  Settings loaded;
  LoadSettings(store_, loaded);
  EXPECT_EQ(loaded.portNumber, 3);
  EXPECT_EQ(loaded.portSpeed, 38400);
  EXPECT_EQ(loaded.enableNmeaLog, 1);
  EXPECT_EQ(loaded.hideAtStartup, 7);
  EXPECT_EQ(loaded.gpsOnly, 1);
  EXPECT_EQ(loaded.flushSeconds, 10);
  EXPECT_EQ(loaded.gpxLog, 0);
}

TEST_F(SettingsOperationsTest, UnusableNumbersKeepTheCurrentValue) {
  // PortNumber out of the menu's range is used as it is; a string where a
  // number belongs and absent values keep what the variables held.
  WriteStoreFile("\"PortNumber\"=dword:00000014\n\"PortSpeed\"=\"9600\"\n");
  Settings settings;
  settings.enableNmeaLog = 1;
  LoadSettings(store_, settings);
  EXPECT_EQ(settings.portNumber, 20);
  EXPECT_EQ(settings.portSpeed, 4800);
  EXPECT_EQ(settings.enableNmeaLog, 1);
  EXPECT_EQ(settings.hideAtStartup, 0);
}

TEST_F(SettingsOperationsTest, OutputDirResults) {
  struct Case {
    const char* legend;
    std::string content;
    int32_t expected;
    OutputDirProblem problem;
  };
  const Case cases[] = {
      {"key without the value", "\"PortNumber\"=dword:00000001\n", 2, OutputDirProblem::kMissing},
      {"stored as a number", "\"OutputDir\"=dword:00000001\n", 2, OutputDirProblem::kWrongType},
      {"259 characters fit", "\"OutputDir\"=\"\\\\" + std::string(258, 'd') + "\"\n", 0,
       OutputDirProblem::kNone},
      {"260 characters do not", "\"OutputDir\"=\"\\\\" + std::string(259, 'd') + "\"\n", 2,
       OutputDirProblem::kTooLong},
      {"10,000 characters", "\"OutputDir\"=\"\\\\" + std::string(9999, 'd') + "\"\n", 2,
       OutputDirProblem::kTooLong},
      {"empty: the root was chosen", "\"OutputDir\"=\"\"\n", 3, OutputDirProblem::kNotRooted},
      {"no leading backslash", "\"OutputDir\"=\"Pathmere\"\n", 3, OutputDirProblem::kNotRooted},
      {"the default folder", "\"OutputDir\"=\"\\\\Pathmere\"\n", 0, OutputDirProblem::kNone},
  };
  for (const Case& c : cases) {
    WriteStoreFile(c.content);
    EXPECT_EQ(LoadFolder(), c.expected) << c.legend;
    EXPECT_EQ(folders_.size(), c.expected == 0 ? 1u : 0u) << c.legend;
    OutputDirCheck check;
    EXPECT_EQ(LoadOutputDir(
                  store_, [](const wchar_t*) {}, &check),
              c.expected)
        << c.legend;
    EXPECT_EQ(check.problem, c.problem) << c.legend;
  }
  EXPECT_EQ(folders_.front(), L"\\Pathmere");
  OutputDirCheck check;
  WriteStoreFile("\"OutputDir\"=\"Pathmere\"\n");
  LoadOutputDir(
      store_, [](const wchar_t*) {}, &check);
  EXPECT_EQ(check.stored, L"Pathmere");
  // No key at all, and a store that is there but cannot be read.
  fs::remove(store_.filePath());
  EXPECT_EQ(LoadOutputDir(
                store_, [](const wchar_t*) {}, &check),
            1);
  EXPECT_EQ(check.problem, OutputDirProblem::kNoKey);
  fs::create_directory(store_.filePath());
  EXPECT_EQ(LoadOutputDir(
                store_, [](const wchar_t*) {}, &check),
            1);
  EXPECT_EQ(check.problem, OutputDirProblem::kStoreUnreadable);
}

TEST_F(SettingsOperationsTest, SavedFolderComesBackAndKeepsTheNumbers) {
  Settings saved;
  saved.portNumber = 5;
  SaveSettings(store_, saved);
  SaveOutputDir(store_, L"\\Données\\Trips");
  ASSERT_EQ(LoadFolder(), 0);
  EXPECT_EQ(folders_.front(), L"\\Données\\Trips");
  Settings loaded;
  LoadSettings(store_, loaded);
  EXPECT_EQ(loaded.portNumber, 5);
}

}  // namespace
}  // namespace pathmere

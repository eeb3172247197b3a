#include "platform/settings_store_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/settings_text_codec.h"
#include "support/faulty_file_system.h"
#include "support/test_environment.h"

namespace pathmere {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::TempFolder;

class SettingsStoreFileTest : public ::testing::Test {
 protected:
  void WriteStoreFile(const std::string& content) {
    fs::create_directories(folder_);
    std::ofstream(store_.filePath(), std::ios::binary) << content;
  }
  std::unique_ptr<SettingsKey> Open() {
    std::unique_ptr<SettingsKey> key;
    EXPECT_EQ(store_.OpenKey(&key), StoreStatus::kOk);
    return key;
  }
  std::unique_ptr<SettingsKey> Create() {
    std::unique_ptr<SettingsKey> key;
    EXPECT_EQ(store_.CreateKey(&key), StoreStatus::kOk);
    return key;
  }

  TempFolder temp_;
  fs::path folder_ = temp_.path() / "config" / "Brenix";
  FileSettingsStore store_{folder_};
};

TEST_F(SettingsStoreFileTest, KeyExistsOnlyOnceCreatedInAPrivateFolder) {
  std::unique_ptr<SettingsKey> key;
  EXPECT_EQ(store_.OpenKey(&key), StoreStatus::kNoKey);
  EXPECT_EQ(key, nullptr);

  EXPECT_EQ(Create()->Close(), StoreStatus::kOk);
  struct stat info {};
  ASSERT_EQ(stat(folder_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  int32_t number = 0;
  EXPECT_EQ(Open()->ReadNumber("PortNumber", &number), StoreStatus::kMissing);
}

TEST_F(SettingsStoreFileTest, ValuesSurviveTheFileWordForWord) {
  const std::wstring awkward = L"\\Tracks \"2026\"\tTab\nLine Müll 路 \U0001F6B2";
  {
    auto key = Create();
    key->WriteNumber("PortNumber", -1);
    key->WriteNumber("PortSpeed", 115200);
    key->WriteNumber("Smallest", INT32_MIN);
    key->WriteString("OutputDir", L"\\Pathmere");
    key->WriteString("Awkward", awkward);
    EXPECT_EQ(key->Close(), StoreStatus::kOk);
  }
  const std::string text = ReadWholeFile(store_.filePath());
  EXPECT_NE(text.find("\n\"PortNumber\"=dword:ffffffff\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"PortSpeed\"=dword:0001c200\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"OutputDir\"=\"\\\\Pathmere\"\n"), std::string::npos) << text;
  // Every value stays on its own line.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6) << text;

  auto key = Open();
  int32_t number = 0;
  EXPECT_EQ(key->ReadNumber("PortNumber", &number), StoreStatus::kOk);
  EXPECT_EQ(number, -1);
  EXPECT_EQ(key->ReadNumber("portspeed", &number), StoreStatus::kOk);
  EXPECT_EQ(number, 115200);
  EXPECT_EQ(key->ReadNumber("Smallest", &number), StoreStatus::kOk);
  EXPECT_EQ(number, INT32_MIN);
  wchar_t buffer[260];
  EXPECT_EQ(key->ReadString("OutputDir", buffer, 260), StoreStatus::kOk);
  EXPECT_EQ(std::wstring(buffer), L"\\Pathmere");
  EXPECT_EQ(key->ReadString("Awkward", buffer, 260), StoreStatus::kOk);
  EXPECT_EQ(std::wstring(buffer), awkward);
}

TEST_F(SettingsStoreFileTest, ReadsTellMissingOtherTypeAndTooLongApart) {
  WriteStoreFile("\"Number\"=dword:00000007\n\"Text\"=\"abc\"\n\"Binary\"=hex:01,02\n");
  auto key = Open();
  int32_t number = 99;
  wchar_t buffer[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'#'};
  EXPECT_EQ(key->ReadNumber("Absent", &number), StoreStatus::kMissing);
  EXPECT_EQ(key->ReadNumber("Text", &number), StoreStatus::kWrongType);
  EXPECT_EQ(key->ReadNumber("Binary", &number), StoreStatus::kWrongType);
  EXPECT_EQ(number, 99);
  EXPECT_EQ(key->ReadString("Number", buffer, 7), StoreStatus::kWrongType);
  EXPECT_EQ(key->ReadString("Text", buffer, 4), StoreStatus::kOk);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  // "abc" and its terminator need 4 characters.
  EXPECT_EQ(key->ReadString("Text", buffer, 3), StoreStatus::kTooLong);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(buffer[7], L'#');
}

TEST_F(SettingsStoreFileTest, DamagedFilesReadAsMissingValues) {
  struct Case {
    const char* legend;
    std::string content;
    StoreStatus portNumber;  // read as a number
    StoreStatus outputDir;   // read as a string into 260 characters
  };
  const std::string longDir = "\"OutputDir\"=\"\\\\" + std::string(10000, 'a') + "\"\n";
  const Case cases[] = {
      {"empty file", "", StoreStatus::kMissing, StoreStatus::kMissing},
      {"cut inside a string", "\"PortNumber\"=dword:00000003\n\"OutputDir\"=\"\\\\Path", StoreStatus::kOk,
       StoreStatus::kMissing},
      {"binary",
       std::string("\x7f"
                   "ELF\0\0\"PortNumber\"=\xff\0dword",
                   22),
       StoreStatus::kMissing, StoreStatus::kMissing},
      {"number where the string belongs", "\"OutputDir\"=dword:00000001\n", StoreStatus::kMissing,
       StoreStatus::kWrongType},
      {"string where the number belongs", "\"PortNumber\"=\"3\"\n", StoreStatus::kWrongType,
       StoreStatus::kMissing},
      {"10,000-character folder", longDir, StoreStatus::kMissing, StoreStatus::kTooLong},
      {"nine hex digits", "\"PortNumber\"=dword:000000003\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"not hex", "\"PortNumber\"=dword:0000000g\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"invalid UTF-8", "\"OutputDir\"=\"\\\\P\xC3\"\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"unknown escape", "\"OutputDir\"=\"\\\\P\\n\"\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"text after the string", "\"OutputDir\"=\"\\\\P\" x\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"byte-order mark, CR LF, section line and comment",
       "\xEF\xBB\xBF[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]\r\n; note\r\n"
       "\"PortNumber\"=dword:3\r\n\"OutputDir\"=\"\\\\P\"\r\n",
       StoreStatus::kOk, StoreStatus::kOk},
      {"upper-case DWORD among blanks", " \"PortNumber\"=\t DWORD:A \n", StoreStatus::kOk,
       StoreStatus::kMissing},
      {"blank before the equals sign", "\"PortNumber\" =dword:1\n", StoreStatus::kMissing,
       StoreStatus::kMissing},
      {"escaped NUL", "\"OutputDir\"=\"\\\\P\\x00\"\n", StoreStatus::kMissing, StoreStatus::kMissing},
      {"escaped tab", "\"OutputDir\"=\"\\\\P\\x09\"\n", StoreStatus::kMissing, StoreStatus::kOk},
      {"control character in another type", "\"PortNumber\"=hex:01\x01,02\n", StoreStatus::kMissing,
       StoreStatus::kMissing},
  };
  for (const Case& c : cases) {
    // Whatever was understood is written back as text that reads the same.
    const std::string canonical = FormatSettingsText(ParseSettingsText(c.content));
    EXPECT_EQ(FormatSettingsText(ParseSettingsText(canonical)), canonical) << c.legend;
    WriteStoreFile(c.content);
    auto key = Open();
    ASSERT_NE(key, nullptr) << c.legend;
    int32_t number = 0;
    wchar_t buffer[260];
    EXPECT_EQ(key->ReadNumber("PortNumber", &number), c.portNumber) << c.legend;
    EXPECT_EQ(key->ReadString("OutputDir", buffer, 260), c.outputDir) << c.legend;
  }
}

TEST_F(SettingsStoreFileTest, LastOfDuplicateValuesCounts) {
  WriteStoreFile("\"PortNumber\"=dword:00000001\n\"PORTNUMBER\"=dword:00000002\n");
  int32_t number = 0;
  EXPECT_EQ(Open()->ReadNumber("PortNumber", &number), StoreStatus::kOk);
  EXPECT_EQ(number, 2);
}

TEST_F(SettingsStoreFileTest, SavingADamagedFileWritesItCleanly) {
  WriteStoreFile(
      "garbage\n\"PortSpeed\"=dword:00002580\n\"OutputDir\"=\"\\\\Pa\n"
      "\"PortSpeed\"=dword:000012c0\n\"Icon\"=hex:01,02\n\"X\"=dword:\n");
  auto key = Create();
  key->WriteNumber("PortNumber", 3);
  EXPECT_EQ(key->Close(), StoreStatus::kOk);
  EXPECT_EQ(ReadWholeFile(store_.filePath()),
            "[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]\n"
            "\"PortSpeed\"=dword:000012c0\n"
            "\"Icon\"=hex:01,02\n"
            "\"PortNumber\"=dword:00000003\n");
  // Nothing of the temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// A file that holds no settings at all (another program's, garbage) is told
// and kept aside before new settings are saved, never written over.
TEST_F(SettingsStoreFileTest, AFileThatHoldsNoSettingsIsToldAndKeptAside) {
  const std::string garbage = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  WriteStoreFile(garbage);
  Open();
  EXPECT_NE(store_.problem().find("holds no settings"), std::string::npos) << store_.problem();
  auto key = Create();
  key->WriteNumber("PortNumber", 3);
  EXPECT_EQ(key->Close(), StoreStatus::kOk);
  EXPECT_EQ(ReadWholeFile(store_.filePath().string() + ".broken-1"), garbage);
  EXPECT_EQ(ReadWholeFile(store_.filePath()),
            "[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]\n\"PortNumber\"=dword:00000003\n");
  Open();
  EXPECT_EQ(store_.problem(), "");
}

TEST_F(SettingsStoreFileTest, SavingKeepsWhatAnotherProgramWroteMeanwhile) {
  auto mine = Create();
  {
    auto theirs = Create();
    theirs->WriteString("OutputDir", L"\\Elsewhere");
  }
  mine->WriteNumber("PortNumber", 4);
  EXPECT_EQ(mine->Close(), StoreStatus::kOk);
  auto key = Open();
  wchar_t buffer[260];
  int32_t number = 0;
  EXPECT_EQ(key->ReadString("OutputDir", buffer, 260), StoreStatus::kOk);
  EXPECT_EQ(key->ReadNumber("PortNumber", &number), StoreStatus::kOk);
}

TEST_F(SettingsStoreFileTest, LinkedSettingsFileStaysALink) {
  fs::create_directories(folder_);
  const fs::path real = temp_.path() / "dotfiles.reg";
  std::ofstream(real) << "\"PortNumber\"=dword:00000001\n";
  fs::create_symlink(real, store_.filePath());
  auto key = Create();
  key->WriteNumber("PortNumber", 5);
  EXPECT_EQ(key->Close(), StoreStatus::kOk);
  EXPECT_TRUE(fs::is_symlink(store_.filePath()));
  EXPECT_NE(ReadWholeFile(real).find("dword:00000005"), std::string::npos);
}

TEST_F(SettingsStoreFileTest, RefusedWritesAndUnusableStores) {
  WriteStoreFile("");
  EXPECT_EQ(Open()->WriteNumber("PortNumber", 1), StoreStatus::kFailed);
  EXPECT_EQ(Create()->WriteString("OutputDir", std::wstring(1, static_cast<wchar_t>(0xD800))),
            StoreStatus::kFailed);

  // A file that is there but cannot be read is neither "no key" nor replaced.
  fs::remove(store_.filePath());
  fs::create_directory(store_.filePath());
  std::unique_ptr<SettingsKey> key;
  EXPECT_EQ(store_.OpenKey(&key), StoreStatus::kFailed);
  EXPECT_EQ(store_.CreateKey(&key), StoreStatus::kFailed);

  // Nor is a FIFO, which no writer opens: reading it must not wait for one.
  fs::remove(store_.filePath());
  ASSERT_EQ(mkfifo(store_.filePath().c_str(), 0600), 0);
  EXPECT_EQ(store_.OpenKey(&key), StoreStatus::kFailed);
  EXPECT_EQ(store_.CreateKey(&key), StoreStatus::kFailed);
  EXPECT_TRUE(fs::is_fifo(store_.filePath()));

  // A folder that cannot be made.
  std::ofstream(temp_.path() / "plain") << "x";
  FileSettingsStore blocked(temp_.path() / "plain" / "Brenix");
  EXPECT_EQ(blocked.OpenKey(&key), StoreStatus::kNoKey);
  EXPECT_EQ(blocked.CreateKey(&key), StoreStatus::kFailed);
}

// The disk fault walk over a save: each of its file operations fails in turn
// (a full disk, a read-only one, an I/O error; once, or until the disk
// recovers), and a power cut falls at each. The settings file is then the
// old one or the new one, whole; a save that says it worked left the new
// one; and the first save after recovery works. A file that holds no
// settings is never lost on the way: it is in place or kept aside.
TEST_F(SettingsStoreFileTest, EveryFileOperationFailingInTurnLeavesTheOldSettingsOrTheNew) {
  const auto save = [&](FileSystem& files) {
    FileSettingsStore store(files, folder_);
    std::unique_ptr<SettingsKey> key;
    if (store.CreateKey(&key) != StoreStatus::kOk) return StoreStatus::kFailed;
    key->WriteNumber("PortNumber", 2);
    key->WriteString("OutputDir", L"\\Tracks");
    return key->Close();
  };
  const fs::path aside = folder_ / "Pathmere.reg.broken-1";
  const auto content = [](const fs::path& file) {
    return fs::exists(file) ? std::optional(ReadWholeFile(file)) : std::nullopt;
  };
  for (const bool garbage : {false, true}) {
    const auto start = [&] {
      fs::remove_all(folder_);
      if (garbage) {
        WriteStoreFile(std::string("\x01\x02 no settings", 15));
      } else {
        Create()->WriteNumber("PortNumber", 1);
      }
      return ReadWholeFile(store_.filePath());
    };
    const std::string before = start();
    testing::FaultyFileSystem reference(folder_.string());
    ASSERT_EQ(save(reference), StoreStatus::kOk);
    const std::string after = ReadWholeFile(store_.filePath());
    ASSERT_GT(reference.operations, 4);
    // Old in place, new in place, or (the old being no settings) old aside.
    const auto whole = [&](const std::string& where) {
      const auto now = content(store_.filePath());
      const bool keptAside = garbage && content(aside) == before;
      EXPECT_TRUE(now == before || (now == after && (!garbage || keptAside)) || (!now && keptAside)) << where;
    };
    for (long k = 1; k <= reference.operations; ++k) {
      for (const uint32_t error : {ENOSPC, EROFS, EIO}) {
        for (const long count : {1L, 1L << 40}) {
          start();
          testing::FaultyFileSystem disk(folder_.string());
          disk.FailAt(k, error, count);
          const std::string where = "operation " + std::to_string(k) + ", error " + std::to_string(error) +
                                    (count > 1 ? " until recovery" : " once") +
                                    (garbage ? ", no settings" : "");
          const StoreStatus status = save(disk);
          whole(where);
          if (status == StoreStatus::kOk) {
            EXPECT_EQ(content(store_.filePath()), after) << where;
          }
          disk.Recover();
          EXPECT_EQ(save(disk), StoreStatus::kOk) << where;
          EXPECT_EQ(content(store_.filePath()), after) << where;
        }
      }
      for (const bool torn : {false, true}) {
        start();
        testing::FaultyFileSystem disk(folder_.string());
        disk.CutAt(k);
        save(disk);
        disk.PowerCut(torn);
        whole("power cut at operation " + std::to_string(k) + (torn ? ", torn" : ""));
      }
    }
  }
}

}  // namespace
}  // namespace pathmere

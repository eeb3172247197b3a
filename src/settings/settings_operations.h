#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/settings_store.h"
#include "settings/settings.h"

namespace pathmere {

// Room for the stored output folder: 520 bytes, so 259 characters and the
// terminator.
inline constexpr size_t kOutputDirCapacity = 260;

// Receives the loaded output folder; the caller hands it to the four writers
// in their fixed order.
using FolderSetter = std::function<void(const wchar_t* folder)>;

// Reads the numbers of the table; each one missing or of another type keeps its
// current value. Without a key nothing changes. A stored number is taken as
// it is, in range or not.
void LoadSettings(SettingsStore& store, Settings& settings);

// Writes the numbers of the table, creating the key when needed. A store that cannot
// be written loses them, silently.
void SaveSettings(SettingsStore& store, const Settings& settings);

// The stored number, or `defaultValue` when it is missing or not a number.
int32_t ReadNumberSetting(const SettingsKey& key, std::string_view name, int32_t defaultValue);

// Gives the stored output folder to `setFolder` and returns 0; or, without
// calling it: 1 no key, 2 "OutputDir" missing, too long or not a string,
// 3 the folder does not start with "\" (an empty one included).
int32_t LoadOutputDir(SettingsStore& store, const FolderSetter& setFolder);

// Why LoadOutputDir gave no folder, told apart for a front end that must say
// it in words (the codes 1 and 2 each stand for more than one reason).
enum class OutputDirProblem {
  kNone,
  kNoKey,            // 1: no settings were ever saved
  kStoreUnreadable,  // 1: the store is there but cannot be read
  kMissing,          // 2: no "OutputDir" value
  kWrongType,        // 2: "OutputDir" is not a string
  kTooLong,          // 2: longer than 259 characters
  kNotRooted,        // 3: does not begin with "\" (an empty one included)
};

struct OutputDirCheck {
  OutputDirProblem problem = OutputDirProblem::kNone;
  std::wstring stored;  // the value read, for kNotRooted
};

// LoadOutputDir, telling also which problem it met.
int32_t LoadOutputDir(SettingsStore& store, const FolderSetter& setFolder, OutputDirCheck* check);

// Stores the folder at once, creating the key when needed; a failure is
// silent and the folder chooser simply comes back at the next start.
void SaveOutputDir(SettingsStore& store, const wchar_t* folder);

}  // namespace pathmere

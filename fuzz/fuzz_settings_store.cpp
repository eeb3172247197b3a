// An arbitrary settings file read by the settings store and loaded as the
// program loads it at start-up; then what was loaded is saved over it and
// must read back the same, whatever else the damaged file held. The text
// itself, once read and written, must read and write back to the same bytes.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/settings_store_file.h"
#include "platform/settings_text_codec.h"
#include "settings/settings.h"
#include "settings/settings_operations.h"

namespace {

using namespace pathmere;

bool SameNumbers(const Settings& a, const Settings& b) {
  for (const SettingDefinition& setting : kSettingsTable) {
    if (setting.type == SettingType::kNumber && a.*setting.number != b.*setting.number) return false;
  }
  return true;
}

void LoadAndSaveBack(const uint8_t* data, size_t size) {
  fuzzing::WriteScratchFile("Pathmere.reg", data, size);
  FileSettingsStore store(fuzzing::ScratchFolder());

  Settings loaded;
  LoadSettings(store, loaded);
  std::wstring folder;
  const int32_t found = LoadOutputDir(store, [&folder](const wchar_t* path) { folder = path; });
  if ((found == 0) != !folder.empty())
    fuzzing::Fail("a loaded output folder is empty or an empty one loaded");

  SaveSettings(store, loaded);
  Settings reloaded;
  reloaded.portNumber = ~loaded.portNumber;  // so that an unread value shows
  LoadSettings(store, reloaded);
  if (!SameNumbers(loaded, reloaded)) fuzzing::Fail("saved numbers read back differently");

  const std::wstring saved = found == 0 ? folder : L"\\Pathmere";
  SaveOutputDir(store, saved.c_str());
  std::wstring again;
  if (LoadOutputDir(store, [&again](const wchar_t* path) { again = path; }) != 0 || again != saved) {
    fuzzing::Fail("a saved output folder read back differently");
  }
}

void ParseFormatParse(const uint8_t* data, size_t size) {
  const std::string once = FormatSettingsText(ParseSettingsText({reinterpret_cast<const char*>(data), size}));
  const SettingValues again = ParseSettingsText(once);
  if (FormatSettingsText(again) != once) fuzzing::Fail("written settings text reads back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ParseFormatParse(data, size);
  LoadAndSaveBack(data, size);
  pathmere::fuzzing::EmptyScratchFolder();
  return 0;
}

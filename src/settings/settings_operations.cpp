#include "settings/settings_operations.h"

#include <memory>

namespace pathmere {

namespace {

constexpr const SettingDefinition& kOutputDir = SettingNamed("OutputDir");
static_assert(kOutputDir.type == SettingType::kString);

}  // namespace

int32_t ReadNumberSetting(const SettingsKey& key, std::string_view name, int32_t defaultValue) {
  int32_t value = 0;
  return key.ReadNumber(name, &value) == StoreStatus::kOk ? value : defaultValue;
}

void LoadSettings(SettingsStore& store, Settings& settings) {
  std::unique_ptr<SettingsKey> key;
  if (store.OpenKey(&key) != StoreStatus::kOk) return;
  for (const SettingDefinition& setting : kSettingsTable) {
    if (setting.type != SettingType::kNumber) continue;
    int32_t& variable = settings.*setting.number;
    variable = ReadNumberSetting(*key, setting.name, variable);
  }
  key->Close();
}

void SaveSettings(SettingsStore& store, const Settings& settings) {
  std::unique_ptr<SettingsKey> key;
  if (store.CreateKey(&key) != StoreStatus::kOk) return;
  for (const SettingDefinition& setting : kSettingsTable) {
    if (setting.type == SettingType::kNumber) key->WriteNumber(setting.name, settings.*setting.number);
  }
  key->Close();
}

int32_t LoadOutputDir(SettingsStore& store, const FolderSetter& setFolder) {
  OutputDirCheck check;
  return LoadOutputDir(store, setFolder, &check);
}

int32_t LoadOutputDir(SettingsStore& store, const FolderSetter& setFolder, OutputDirCheck* check) {
  *check = {};
  std::unique_ptr<SettingsKey> key;
  const StoreStatus opened = store.OpenKey(&key);
  if (opened != StoreStatus::kOk) {
    check->problem =
        opened == StoreStatus::kNoKey ? OutputDirProblem::kNoKey : OutputDirProblem::kStoreUnreadable;
    return 1;
  }
  wchar_t folder[kOutputDirCapacity];
  const StoreStatus read = key->ReadString(kOutputDir.name, folder, kOutputDirCapacity);
  key->Close();
  if (read != StoreStatus::kOk) {
    check->problem = read == StoreStatus::kWrongType ? OutputDirProblem::kWrongType
                     : read == StoreStatus::kTooLong ? OutputDirProblem::kTooLong
                                                     : OutputDirProblem::kMissing;
    return 2;
  }
  if (folder[0] != L'\\') {
    check->problem = OutputDirProblem::kNotRooted;
    check->stored = folder;
    return 3;
  }
  setFolder(folder);
  return 0;
}

void SaveOutputDir(SettingsStore& store, const wchar_t* folder) {
  if (folder == nullptr) return;
  std::unique_ptr<SettingsKey> key;
  if (store.CreateKey(&key) != StoreStatus::kOk) return;
  key->WriteString(kOutputDir.name, folder);
  key->Close();
}

}  // namespace pathmere

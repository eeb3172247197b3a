#pragma once

#include <filesystem>
#include <memory>

#include "platform/settings_store.h"

namespace pathmere {

// The key "Software\Brenix\Pathmere" as one human-readable file,
// <folder>/Pathmere.reg, in the style of a registry export:
//
//   [HKEY_CURRENT_USER\Software\Brenix\Pathmere]
//   "PortNumber"=dword:00000003        number: 8 hex digits, the 32 bits as stored
//   "OutputDir"="\\Pathmere"           string: UTF-8, \\ \" and \xHH escaped
//
// \xHH stands for a control character (below 0x20, or 0x7F), so that a line
// is always one value. Reading is forgiving: blank lines, comments (; or #)
// and section lines are skipped; a line that cannot be understood is
// ignored, so its value reads as missing; of duplicate values the last one
// counts, as when a registry export is imported. Values of other registry
// types ("hex:", "hex(2):"...) read as another type and are kept as they
// are. Only the first MiB of the file is read. Saving rewrites the file
// cleanly and atomically: a temporary file in the same folder, fsync,
// rename, fsync of the folder; a crash leaves the old file or the new one.
class FileSettingsStore final : public SettingsStore {
 public:
  // `folder` is $XDG_CONFIG_HOME/Brenix (~/.config/Brenix) by default; it is
  // created, private to the user, when a key is first created.
  explicit FileSettingsStore(std::filesystem::path folder = DefaultFolder());

  StoreStatus OpenKey(std::unique_ptr<SettingsKey>* key) override;
  StoreStatus CreateKey(std::unique_ptr<SettingsKey>* key) override;

  const std::filesystem::path& filePath() const { return filePath_; }
  static std::filesystem::path DefaultFolder();

 private:
  std::filesystem::path folder_;
  std::filesystem::path filePath_;
};

}  // namespace pathmere

#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/settings_store.h"

namespace pathmere {

// The key "Software\Brenix\Pathmere" as one human-readable file,
// <folder>/Pathmere.reg, in the style of a registry export (see
// settings_text_codec.h). A line that cannot be understood reads as a
// missing value; values of other registry types read as another type and
// are kept as they are. Only the first MiB of the file is read. Saving
// starts again from the file as it is then, adds this key's writes, and
// rewrites it cleanly and atomically: the new content goes to a temporary
// file beside it, is synced and renamed over it, and the folder is synced,
// so a crash or a power cut leaves the old file or the new one. A file
// reached through a symbolic link is replaced where it is.
//
// Every file operation goes through a FileSystem (file_system.h) rooted at
// the folder, so that the disk fault walk can fail each of them in turn.
class FileSettingsStore final : public SettingsStore {
 public:
  // `folder` is $XDG_CONFIG_HOME/Brenix (~/.config/Brenix) by default; it is
  // created, private to the user, when a key is first created.
  explicit FileSettingsStore(std::filesystem::path folder = DefaultFolder());
  // The same in the root of `files`, which must exist and outlive the
  // store and its keys; `shown` is the folder it stands for, in messages.
  FileSettingsStore(FileSystem& files, std::filesystem::path shown);
  ~FileSettingsStore() override;

  StoreStatus OpenKey(std::unique_ptr<SettingsKey>* key) override;
  StoreStatus CreateKey(std::unique_ptr<SettingsKey>* key) override;

  const std::filesystem::path& filePath() const { return filePath_; }
  // What was wrong with the file at the last open ("... holds no settings
  // ..."); empty when nothing was. A file that is no settings file is read
  // as none and, before new settings are saved, kept as <file>.broken-N.
  std::string problem() const override { return problem_; }
  static std::filesystem::path DefaultFolder();

 private:
  std::shared_ptr<FileSystem> files_;  // null: the host's, at folder_
  std::filesystem::path folder_;
  std::filesystem::path filePath_;
  std::string problem_;
};

}  // namespace pathmere

#include "platform/settings_store_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/file_system_posix.h"
#include "platform/settings_text_codec.h"
#include "platform/user_config_folder.h"
#include "text/wide_text.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// Enough for any real settings file; a runaway file costs no more than this.
constexpr size_t kMaxFileBytes = size_t{1} << 20;
constexpr std::string_view kFileName = "Pathmere.reg";
constexpr const wchar_t* kFilePath = L"\\Pathmere.reg";  // in a given file system's root

// The settings file: a file system and the file's path in it.
struct StoreFile {
  std::shared_ptr<FileSystem> files;
  std::wstring path;
};

enum class FileRead { kRead, kAbsent, kFailed };

// A FIFO or a device in the file's place would hold the start-up until
// someone writes to it, or read as an empty file; anything but a regular
// file is a damaged store. Only the host can tell them apart.
bool SomethingElseInPlace(const fs::path& host) {
  std::error_code error;
  const fs::file_status status = fs::status(host, error);
  return fs::exists(status) && !fs::is_regular_file(status);
}

FileRead ReadStoreFile(const StoreFile& file, std::string* content) {
  content->clear();
  FileSystem& files = *file.files;
  const FileHandle handle = files.OpenExistingForRead(file.path);
  if (handle == kInvalidFile) {
    const uint32_t error = files.LastError();
    return (error == ENOENT || error == ENOTDIR) ? FileRead::kAbsent : FileRead::kFailed;
  }
  bool good = true;
  char chunk[8192];
  while (content->size() < kMaxFileBytes) {
    const size_t want = std::min(sizeof chunk, kMaxFileBytes - content->size());
    uint32_t got = 0;
    if (!files.Read(handle, chunk, static_cast<uint32_t>(want), &got)) {
      good = false;
      break;
    }
    if (got == 0) break;
    content->append(chunk, got);
  }
  files.Close(handle);
  return good ? FileRead::kRead : FileRead::kFailed;
}

// The new content in a temporary file beside the old one, synced, renamed
// over it and the folder synced: a crash leaves one or the other, whole.
bool ReplaceStoreFile(const StoreFile& file, std::string_view content) {
  FileSystem& files = *file.files;
  const size_t slash = file.path.rfind(L'\\');
  const std::wstring folder = file.path.substr(0, slash);
  const std::wstring temporary =
      folder + L"\\." + file.path.substr(slash + 1) + L"." + std::to_wstring(getpid());
  const FileHandle handle = files.OpenOrCreate(temporary);
  if (handle == kInvalidFile) return false;
  // What a crash left under the same name goes first.
  bool good = files.Truncate(handle, 0);
  while (good && !content.empty()) {
    const size_t size = std::min<size_t>(content.size(), size_t{1} << 20);
    uint32_t written = 0;
    good = files.Write(handle, content.data(), static_cast<uint32_t>(size), &written);
    content.remove_prefix(size);
  }
  good = good && files.SyncData(handle);
  good = files.Close(handle) && good;
  if (!good || !files.Rename(temporary, file.path)) {
    files.Remove(temporary);
    return false;
  }
  // Syncing the folder makes the rename itself survive a power cut. Some
  // file systems refuse it, which changes nothing.
  (void)files.SyncFolder(folder);
  return true;
}

// The file that is no settings file, renamed to the first free
// "<file>.broken-N" so that new settings do not write over it.
bool PutAside(const StoreFile& file) {
  for (int n = 1; n <= 100; ++n) {
    const std::wstring aside = file.path + L".broken-" + std::to_wstring(n);
    if (file.files->LookUp(aside) != FileSystem::PathKind::kMissing) continue;
    return file.files->Rename(file.path, aside);
  }
  return false;
}

// The host's settings file, where it really is: a file reached through a
// link is read and replaced in the link's folder, and the link stays.
StoreFile OnHost(const fs::path& file) {
  fs::path target = file;
  std::error_code error;
  if (fs::is_symlink(file, error)) {
    const fs::path resolved = fs::weakly_canonical(file, error);
    if (!error) target = resolved;
  }
  return {std::make_shared<PosixFileSystem>(target.parent_path().string()),
          L"\\" + Utf8ToWide(target.filename().string())};
}

std::string Unusable(const fs::path& file) {
  return "settings file " + file.string() +
         " holds no settings: the defaults are used, and the file is kept as " + file.string() +
         ".broken-N when settings are saved";
}

// mkdir -p with mode 0700: settings are nobody else's business.
bool MakePrivateFolders(const fs::path& folder) {
  fs::path prefix;
  for (const fs::path& part : folder) {
    prefix /= part;
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class FileSettingsKey final : public SettingsKey {
 public:
  // `host`: the host's settings file, read and written afresh at each save;
  // empty when the store was given its file system.
  FileSettingsKey(StoreFile file, fs::path host, SettingValues values, bool writable, bool createOnClose)
      : file_(std::move(file)),
        host_(std::move(host)),
        values_(std::move(values)),
        writable_(writable),
        dirty_(createOnClose) {}
  ~FileSettingsKey() override { Close(); }
  FileSettingsKey(const FileSettingsKey&) = delete;
  FileSettingsKey& operator=(const FileSettingsKey&) = delete;

  StoreStatus ReadNumber(std::string_view name, int32_t* value) const override {
    const NamedSettingValue* entry = FindSettingValue(values_, name);
    if (entry == nullptr) return StoreStatus::kMissing;
    if (entry->value.type != SettingValue::Type::kNumber) return StoreStatus::kWrongType;
    *value = static_cast<int32_t>(entry->value.number);
    return StoreStatus::kOk;
  }

  StoreStatus ReadString(std::string_view name, wchar_t* buffer, size_t capacity) const override {
    if (capacity > 0) buffer[0] = L'\0';
    const NamedSettingValue* entry = FindSettingValue(values_, name);
    if (entry == nullptr) return StoreStatus::kMissing;
    if (entry->value.type != SettingValue::Type::kString) return StoreStatus::kWrongType;
    const std::wstring& text = entry->value.text;
    if (text.size() >= capacity) return StoreStatus::kTooLong;
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return StoreStatus::kOk;
  }

  StoreStatus WriteNumber(std::string_view name, int32_t value) override {
    SettingValue stored;
    stored.type = SettingValue::Type::kNumber;
    stored.number = static_cast<uint32_t>(value);
    return Write(name, stored);
  }

  StoreStatus WriteString(std::string_view name, std::wstring_view value) override {
    SettingValue stored;
    stored.type = SettingValue::Type::kString;
    // Refused rather than stored as something else.
    if (!IsStorableSettingText(value)) return StoreStatus::kFailed;
    stored.text = std::wstring(value);
    return Write(name, stored);
  }

  StoreStatus Close() override {
    if (closed_) return StoreStatus::kOk;
    closed_ = true;
    if (!writable_ || !dirty_) return StoreStatus::kOk;
    // Start again from the file as it is now, so that values another
    // program wrote since this key was opened are not thrown away.
    if (!host_.empty() && SomethingElseInPlace(host_)) return StoreStatus::kFailed;
    const StoreFile file = host_.empty() ? file_ : OnHost(host_);
    std::string content;
    const FileRead read = ReadStoreFile(file, &content);
    if (read == FileRead::kFailed) return StoreStatus::kFailed;
    if (read == FileRead::kRead && !LooksLikeSettingsText(content) && !PutAside(file)) {
      return StoreStatus::kFailed;
    }
    SettingValues current = ParseSettingsText(content);
    for (const NamedSettingValue& entry : pending_) PutSettingValue(current, entry.name, entry.value);
    return ReplaceStoreFile(file, FormatSettingsText(current)) ? StoreStatus::kOk : StoreStatus::kFailed;
  }

 private:
  StoreStatus Write(std::string_view name, const SettingValue& value) {
    if (!writable_ || closed_ || name.empty()) return StoreStatus::kFailed;
    PutSettingValue(values_, name, value);
    pending_.push_back({std::string(name), value});
    dirty_ = true;
    return StoreStatus::kOk;
  }

  StoreFile file_;
  fs::path host_;
  SettingValues values_;
  SettingValues pending_;
  bool writable_;
  bool dirty_;
  bool closed_ = false;
};

}  // namespace

FileSettingsStore::FileSettingsStore(fs::path folder)
    : folder_(std::move(folder)), filePath_(folder_ / kFileName) {}

FileSettingsStore::FileSettingsStore(FileSystem& files, fs::path shown)
    : files_(&files, [](FileSystem*) {}), folder_(std::move(shown)), filePath_(folder_ / kFileName) {}

FileSettingsStore::~FileSettingsStore() = default;

fs::path FileSettingsStore::DefaultFolder() { return BrenixConfigFolder(); }

StoreStatus FileSettingsStore::OpenKey(std::unique_ptr<SettingsKey>* key) {
  if (folder_.empty()) return StoreStatus::kNoKey;
  const fs::path host = files_ ? fs::path() : filePath_;
  if (!host.empty() && SomethingElseInPlace(host)) return StoreStatus::kFailed;
  const StoreFile file = files_ ? StoreFile{files_, kFilePath} : OnHost(host);
  std::string content;
  switch (ReadStoreFile(file, &content)) {
    case FileRead::kAbsent:
      return StoreStatus::kNoKey;
    case FileRead::kFailed:
      return StoreStatus::kFailed;
    case FileRead::kRead:
      break;
  }
  problem_ = LooksLikeSettingsText(content) ? std::string() : Unusable(filePath_);
  *key = std::make_unique<FileSettingsKey>(file, host, ParseSettingsText(content), false, false);
  return StoreStatus::kOk;
}

StoreStatus FileSettingsStore::CreateKey(std::unique_ptr<SettingsKey>* key) {
  if (folder_.empty() || (!files_ && !MakePrivateFolders(folder_))) return StoreStatus::kFailed;
  const fs::path host = files_ ? fs::path() : filePath_;
  if (!host.empty() && SomethingElseInPlace(host)) return StoreStatus::kFailed;
  const StoreFile file = files_ ? StoreFile{files_, kFilePath} : OnHost(host);
  std::string content;
  const FileRead read = ReadStoreFile(file, &content);
  // A file that exists but cannot be read must not be replaced by one that
  // holds only what this key writes.
  if (read == FileRead::kFailed) return StoreStatus::kFailed;
  const bool missing = read == FileRead::kAbsent;
  if (!LooksLikeSettingsText(content)) problem_ = Unusable(filePath_);
  *key = std::make_unique<FileSettingsKey>(file, host, ParseSettingsText(content), true, missing);
  return StoreStatus::kOk;
}

}  // namespace pathmere

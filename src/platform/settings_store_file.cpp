#include "platform/settings_store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/settings_text_codec.h"
#include "platform/user_config_folder.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

// Enough for any real settings file; a runaway file costs no more than this.
constexpr size_t kMaxFileBytes = size_t{1} << 20;
constexpr std::string_view kFileName = "Pathmere.reg";

enum class FileRead { kRead, kAbsent, kFailed };

FileRead ReadStoreFile(const fs::path& path, std::string* content) {
  content->clear();
  // O_NONBLOCK: a FIFO or a device in the file's place would otherwise hold
  // the start-up until someone writes to it. Anything but a regular file is
  // a damaged store.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? FileRead::kAbsent : FileRead::kFailed;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return FileRead::kFailed;
  }
  char chunk[8192];
  while (content->size() < kMaxFileBytes) {
    const size_t want = std::min(sizeof chunk, kMaxFileBytes - content->size());
    const ssize_t got = read(fd, chunk, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return FileRead::kFailed;
    }
    if (got == 0) break;
    content->append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return FileRead::kRead;
}

// The file that is no settings file, renamed to the first free
// "<file>.broken-N" so that new settings do not write over it.
bool PutAside(const fs::path& file) {
  for (int n = 1; n <= 100; ++n) {
    fs::path aside = file;
    aside += ".broken-" + std::to_string(n);
    std::error_code error;
    if (fs::exists(aside, error)) continue;
    return rename(file.c_str(), aside.c_str()) == 0;
  }
  return false;
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
  FileSettingsKey(fs::path file, SettingValues values, bool writable, bool createOnClose)
      : file_(std::move(file)), values_(std::move(values)), writable_(writable), dirty_(createOnClose) {}
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
    std::string content;
    const FileRead read = ReadStoreFile(file_, &content);
    if (read == FileRead::kFailed) return StoreStatus::kFailed;
    if (!LooksLikeSettingsText(content) && !PutAside(file_)) return StoreStatus::kFailed;
    SettingValues current = ParseSettingsText(content);
    for (const NamedSettingValue& entry : pending_) PutSettingValue(current, entry.name, entry.value);
    return WriteFileAtomically(file_, FormatSettingsText(current)) ? StoreStatus::kOk : StoreStatus::kFailed;
  }

 private:
  StoreStatus Write(std::string_view name, const SettingValue& value) {
    if (!writable_ || closed_ || name.empty()) return StoreStatus::kFailed;
    PutSettingValue(values_, name, value);
    pending_.push_back({std::string(name), value});
    dirty_ = true;
    return StoreStatus::kOk;
  }

  fs::path file_;
  SettingValues values_;
  SettingValues pending_;
  bool writable_;
  bool dirty_;
  bool closed_ = false;
};

}  // namespace

FileSettingsStore::FileSettingsStore(fs::path folder)
    : folder_(std::move(folder)), filePath_(folder_ / kFileName) {}

fs::path FileSettingsStore::DefaultFolder() { return BrenixConfigFolder(); }

StoreStatus FileSettingsStore::OpenKey(std::unique_ptr<SettingsKey>* key) {
  if (folder_.empty()) return StoreStatus::kNoKey;
  std::string content;
  switch (ReadStoreFile(filePath_, &content)) {
    case FileRead::kAbsent:
      return StoreStatus::kNoKey;
    case FileRead::kFailed:
      return StoreStatus::kFailed;
    case FileRead::kRead:
      break;
  }
  problem_ = LooksLikeSettingsText(content) ? std::string() : Unusable(filePath_);
  *key = std::make_unique<FileSettingsKey>(filePath_, ParseSettingsText(content), false, false);
  return StoreStatus::kOk;
}

StoreStatus FileSettingsStore::CreateKey(std::unique_ptr<SettingsKey>* key) {
  if (folder_.empty() || !MakePrivateFolders(folder_)) return StoreStatus::kFailed;
  std::string content;
  const FileRead read = ReadStoreFile(filePath_, &content);
  // A file that exists but cannot be read must not be replaced by one that
  // holds only what this key writes.
  if (read == FileRead::kFailed) return StoreStatus::kFailed;
  const bool missing = read == FileRead::kAbsent;
  if (!LooksLikeSettingsText(content)) problem_ = Unusable(filePath_);
  *key = std::make_unique<FileSettingsKey>(filePath_, ParseSettingsText(content), true, missing);
  return StoreStatus::kOk;
}

}  // namespace pathmere

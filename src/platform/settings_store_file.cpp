#include "platform/settings_store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/user_config_folder.h"
#include "text/ascii.h"
#include "text/wide_text.h"

namespace pathmere {

namespace fs = std::filesystem;

namespace {

static_assert(sizeof(wchar_t) >= 4, "wide strings are taken as UTF-32");

// Enough for any real settings file; a runaway file costs no more than this.
constexpr size_t kMaxFileBytes = size_t{1} << 20;
constexpr std::string_view kFileName = "Pathmere.reg";
constexpr std::string_view kSectionLine = "[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]";

struct StoredValue {
  enum class Type { kNumber, kString, kOther };
  Type type = Type::kNumber;
  uint32_t number = 0;
  std::wstring text;  // kString
  std::string raw;    // kOther: the text after '=' as it was found
};

struct NamedValue {
  std::string name;
  StoredValue value;
};

using Values = std::vector<NamedValue>;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

const NamedValue* Find(const Values& values, std::string_view name) {
  for (const NamedValue& entry : values) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

// A later value of the same name replaces the earlier one in its place.
void Put(Values& values, std::string_view name, const StoredValue& value) {
  for (NamedValue& entry : values) {
    if (SameName(entry.name, name)) {
      entry.name = std::string(name);
      entry.value = value;
      return;
    }
  }
  values.push_back({std::string(name), value});
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Code points that UTF-8 can carry; a NUL would end the program's string.
bool IsEncodable(uint32_t c) { return c != 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Strict, and without NUL, which would end the program's string: a value
// that does not convert is unusable rather than silently different.
bool DecodeSettingText(std::string_view in, std::wstring* out) {
  return DecodeUtf8(in, out) && out->find(L'\0') == std::wstring::npos;
}

std::string Quote(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (IsControl(byte)) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

// Reads a quoted text whose opening quote is at line[*pos - 1]; leaves *pos
// after the closing quote.
bool ParseQuoted(std::string_view line, size_t* pos, std::string* bytes) {
  bytes->clear();
  while (*pos < line.size()) {
    const char c = line[(*pos)++];
    if (c == '"') return true;
    if (c == '\0') return false;
    if (c != '\\') {
      *bytes += c;
      continue;
    }
    if (*pos >= line.size()) return false;
    const char escaped = line[(*pos)++];
    if (escaped == '\\' || escaped == '"') {
      *bytes += escaped;
    } else if (escaped == 'x' && *pos + 2 <= line.size() && HexDigitValue(line[*pos]) >= 0 &&
               HexDigitValue(line[*pos + 1]) >= 0) {
      const int byte = HexDigitValue(line[*pos]) * 16 + HexDigitValue(line[*pos + 1]);
      if (byte == 0) return false;
      *bytes += static_cast<char>(byte);
      *pos += 2;
    } else {
      return false;
    }
  }
  return false;  // no closing quote: the line was cut
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One value line:
//   "Name"=dword:0000000f     number, 1 to 8 hex digits
//   "Name"="text"             string
//   "Name"=hex(2):41,00,...   another registry type, kept as found
bool ParseValueLine(std::string_view line, NamedValue* out) {
  if (line.empty() || line.front() != '"') return false;
  size_t pos = 1;
  if (!ParseQuoted(line, &pos, &out->name) || out->name.empty()) return false;
  if (pos >= line.size() || line[pos] != '=') return false;
  const std::string_view data = TrimBlanks(line.substr(pos + 1));
  StoredValue& value = out->value;
  if (StartsWithNoCase(data, "dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    value.type = StoredValue::Type::kNumber;
    value.number = 0;
    for (char c : digits) {
      const int digit = HexDigitValue(c);
      if (digit < 0) return false;
      value.number = value.number * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }
  if (!data.empty() && data.front() == '"') {
    size_t textPos = 1;
    std::string bytes;
    if (!ParseQuoted(data, &textPos, &bytes) || textPos != data.size()) return false;
    value.type = StoredValue::Type::kString;
    return DecodeSettingText(bytes, &value.text);
  }
  if (StartsWithNoCase(data, "hex") && data.find(':') != std::string_view::npos) {
    for (char c : data) {
      if (IsControl(static_cast<unsigned char>(c))) return false;
    }
    value.type = StoredValue::Type::kOther;
    value.raw = std::string(data);
    return true;
  }
  return false;
}

Values ParseStore(std::string_view content) {
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  Values values;
  while (!content.empty()) {
    const size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    NamedValue entry;
    if (ParseValueLine(line, &entry)) Put(values, entry.name, entry.value);
    // Anything else is a blank, a comment, a section line or damage.
  }
  return values;
}

std::string FormatStore(const Values& values) {
  std::string out;
  out += kSectionLine;
  out += '\n';
  for (const NamedValue& entry : values) {
    out += Quote(entry.name);
    out += '=';
    switch (entry.value.type) {
      case StoredValue::Type::kNumber: {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(entry.value.number));
        out += number;
        break;
      }
      case StoredValue::Type::kString: {
        std::string bytes;
        for (wchar_t c : entry.value.text) {
          const auto code = static_cast<char32_t>(static_cast<uint32_t>(c));
          if (code != 0) AppendUtf8(code, &bytes);
        }
        out += Quote(bytes);
        break;
      }
      case StoredValue::Type::kOther:
        out += entry.value.raw;
        break;
    }
    out += '\n';
  }
  return out;
}

enum class FileRead { kRead, kAbsent, kFailed };

FileRead ReadStoreFile(const fs::path& path, std::string* content) {
  content->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
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

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool WriteAtomically(const fs::path& file, std::string_view content) {
  // A settings file kept elsewhere through a link stays there, and the link
  // stays a link.
  fs::path target = file;
  std::error_code ec;
  if (fs::is_symlink(file, ec)) {
    const fs::path resolved = fs::weakly_canonical(file, ec);
    if (!ec) target = resolved;
  }
  const fs::path folder = target.parent_path();
  std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, content) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  // The new file is in place; syncing the folder makes the rename itself
  // survive a power cut. Some file systems refuse it, which changes nothing.
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    (void)fsync(folderFd);
    close(folderFd);
  }
  return true;
}

class FileSettingsKey final : public SettingsKey {
 public:
  FileSettingsKey(fs::path file, Values values, bool writable, bool createOnClose)
      : file_(std::move(file)), values_(std::move(values)), writable_(writable), dirty_(createOnClose) {}
  ~FileSettingsKey() override { Close(); }
  FileSettingsKey(const FileSettingsKey&) = delete;
  FileSettingsKey& operator=(const FileSettingsKey&) = delete;

  StoreStatus ReadNumber(std::string_view name, int32_t* value) const override {
    const NamedValue* entry = Find(values_, name);
    if (entry == nullptr) return StoreStatus::kMissing;
    if (entry->value.type != StoredValue::Type::kNumber) return StoreStatus::kWrongType;
    *value = static_cast<int32_t>(entry->value.number);
    return StoreStatus::kOk;
  }

  StoreStatus ReadString(std::string_view name, wchar_t* buffer, size_t capacity) const override {
    if (capacity > 0) buffer[0] = L'\0';
    const NamedValue* entry = Find(values_, name);
    if (entry == nullptr) return StoreStatus::kMissing;
    if (entry->value.type != StoredValue::Type::kString) return StoreStatus::kWrongType;
    const std::wstring& text = entry->value.text;
    if (text.size() >= capacity) return StoreStatus::kTooLong;
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return StoreStatus::kOk;
  }

  StoreStatus WriteNumber(std::string_view name, int32_t value) override {
    StoredValue stored;
    stored.type = StoredValue::Type::kNumber;
    stored.number = static_cast<uint32_t>(value);
    return Write(name, stored);
  }

  StoreStatus WriteString(std::string_view name, std::wstring_view value) override {
    StoredValue stored;
    stored.type = StoredValue::Type::kString;
    // Refused rather than stored as something else.
    for (wchar_t c : value) {
      if (!IsEncodable(static_cast<uint32_t>(c))) return StoreStatus::kFailed;
    }
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
    Values current = ParseStore(content);
    for (const NamedValue& entry : pending_) Put(current, entry.name, entry.value);
    return WriteAtomically(file_, FormatStore(current)) ? StoreStatus::kOk : StoreStatus::kFailed;
  }

 private:
  StoreStatus Write(std::string_view name, const StoredValue& value) {
    if (!writable_ || closed_ || name.empty()) return StoreStatus::kFailed;
    Put(values_, name, value);
    pending_.push_back({std::string(name), value});
    dirty_ = true;
    return StoreStatus::kOk;
  }

  fs::path file_;
  Values values_;
  Values pending_;
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
  *key = std::make_unique<FileSettingsKey>(filePath_, ParseStore(content), false, false);
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
  *key = std::make_unique<FileSettingsKey>(filePath_, ParseStore(content), true, missing);
  return StoreStatus::kOk;
}

}  // namespace pathmere

#include "platform/settings_text_codec.h"

#include <cstdio>

#include "text/ascii.h"
#include "text/wide_text.h"

namespace pathmere {

namespace {

static_assert(sizeof(wchar_t) >= 4, "wide strings are taken as UTF-32");

constexpr std::string_view kSectionLine = "[HKEY_CURRENT_USER\\Software\\Brenix\\Pathmere]";

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
bool ParseValueLine(std::string_view line, NamedSettingValue* out) {
  if (line.empty() || line.front() != '"') return false;
  size_t pos = 1;
  if (!ParseQuoted(line, &pos, &out->name) || out->name.empty()) return false;
  if (pos >= line.size() || line[pos] != '=') return false;
  const std::string_view data = TrimBlanks(line.substr(pos + 1));
  SettingValue& value = out->value;
  if (StartsWithNoCase(data, "dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    value.type = SettingValue::Type::kNumber;
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
    value.type = SettingValue::Type::kString;
    return DecodeSettingText(bytes, &value.text);
  }
  if (StartsWithNoCase(data, "hex") && data.find(':') != std::string_view::npos) {
    for (char c : data) {
      if (IsControl(static_cast<unsigned char>(c))) return false;
    }
    value.type = SettingValue::Type::kOther;
    value.raw = std::string(data);
    return true;
  }
  return false;
}

}  // namespace

const NamedSettingValue* FindSettingValue(const SettingValues& values, std::string_view name) {
  for (const NamedSettingValue& entry : values) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

void PutSettingValue(SettingValues& values, std::string_view name, const SettingValue& value) {
  for (NamedSettingValue& entry : values) {
    if (SameName(entry.name, name)) {
      entry.name = std::string(name);
      entry.value = value;
      return;
    }
  }
  values.push_back({std::string(name), value});
}

bool IsStorableSettingText(std::wstring_view text) {
  for (wchar_t c : text) {
    if (!IsEncodable(static_cast<uint32_t>(c))) return false;
  }
  return true;
}

SettingValues ParseSettingsText(std::string_view content) {
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  SettingValues values;
  while (!content.empty()) {
    const size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    NamedSettingValue entry;
    if (ParseValueLine(line, &entry)) PutSettingValue(values, entry.name, entry.value);
    // Anything else is a blank, a comment, a section line or damage.
  }
  return values;
}

bool LooksLikeSettingsText(std::string_view content) {
  if (TrimBlanks(content).empty()) return true;
  if (content.find(kSectionLine) != std::string_view::npos) return true;
  return !ParseSettingsText(content).empty();
}

std::string FormatSettingsText(const SettingValues& values) {
  std::string out;
  out += kSectionLine;
  out += '\n';
  for (const NamedSettingValue& entry : values) {
    out += Quote(entry.name);
    out += '=';
    switch (entry.value.type) {
      case SettingValue::Type::kNumber: {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(entry.value.number));
        out += number;
        break;
      }
      case SettingValue::Type::kString: {
        std::string bytes;
        for (wchar_t c : entry.value.text) {
          const auto code = static_cast<char32_t>(static_cast<uint32_t>(c));
          if (code != 0) AppendUtf8(code, &bytes);
        }
        out += Quote(bytes);
        break;
      }
      case SettingValue::Type::kOther:
        out += entry.value.raw;
        break;
    }
    out += '\n';
  }
  return out;
}

}  // namespace pathmere

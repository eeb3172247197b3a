#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pathmere {

// The settings file's text, in the style of a registry export:
//
//   [HKEY_CURRENT_USER\Software\Brenix\Pathmere]    section line, written first
//   "PortNumber"=dword:00000003                     number
//   "OutputDir"="\\Pathmere"                        string
//   "Icon"=hex(2):41,00,00,00                       another registry type
//    |          |     |
//    |          |     +-- number: 1 to 8 hex digits read, 8 written, the 32
//    |          |         bits as stored; string: UTF-8 with \\ \" and \xHH
//    |          |         escapes; other: kept as found
//    |          +-------- type: "dword:", a quote, or "hex...:"
//    +------------------- name: quoted and escaped as a string, compared
//                         without regard to ASCII case
//
// \xHH stands for a control character (below 0x20, or 0x7F), so that a line
// is always one value. Reading is forgiving: blank lines, comments (; or #)
// and section lines are skipped, as is a leading byte-order mark and a CR
// before the LF; a line that cannot be understood is dropped, so its value
// reads as missing; of duplicate values the last one counts, as when a
// registry export is imported. Writing is canonical, so that text written
// once reads back to the same values and writes the same bytes again.

struct SettingValue {
  enum class Type { kNumber, kString, kOther };
  Type type = Type::kNumber;
  uint32_t number = 0;
  std::wstring text;  // kString
  std::string raw;    // kOther: the text after '=' as it was found
};

struct NamedSettingValue {
  std::string name;
  SettingValue value;
};

// In the order of the file.
using SettingValues = std::vector<NamedSettingValue>;

const NamedSettingValue* FindSettingValue(const SettingValues& values, std::string_view name);

// A value of a name already present replaces it in its place, and the name
// takes the new spelling.
void PutSettingValue(SettingValues& values, std::string_view name, const SettingValue& value);

// Whether a string value can be written and read back unchanged: Unicode
// scalar values only, and no NUL, which would end the program's string.
bool IsStorableSettingText(std::wstring_view text);

SettingValues ParseSettingsText(std::string_view content);
// Whether `content` can be a settings file: empty, or with the section line
// or a value in it. Anything else (another program's file, garbage) is not
// to be written over.
bool LooksLikeSettingsText(std::string_view content);
std::string FormatSettingsText(const SettingValues& values);

}  // namespace pathmere

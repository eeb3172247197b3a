#include "text/wide_text.h"

#include <type_traits>

namespace pathmere {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

char32_t CodePoint(wchar_t c) { return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)); }

// One character from the start of `text`: its value and length, or length 0
// when the bytes there are not well-formed UTF-8.
size_t DecodeOne(std::string_view text, char32_t* value) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *value = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    c = lead & 0x1F, length = 2, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    c = lead & 0x0F, length = 3, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    c = lead & 0x07, length = 4, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || !IsScalarValue(c)) return 0;
  *value = c;
  return length;
}

}  // namespace

bool AppendUtf8(char32_t c, std::string* out) {
  if (!IsScalarValue(c)) return false;
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return true;
}

bool DecodeUtf8(std::string_view text, std::wstring* out) {
  out->clear();
  while (!text.empty()) {
    char32_t c = 0;
    const size_t length = DecodeOne(text, &c);
    if (length == 0) return false;
    out->push_back(static_cast<wchar_t>(c));
    text.remove_prefix(length);
  }
  return true;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!AppendUtf8(CodePoint(c), &out)) AppendUtf8(kReplacement, &out);
  }
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t c = 0;
    const size_t length = DecodeOne(text, &c);
    out.push_back(static_cast<wchar_t>(length == 0 ? kReplacement : c));
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return out;
}

}  // namespace pathmere

#pragma once

#include <string>
#include <string_view>

namespace pathmere {

// The program's wide texts (paths, messages, settings) to and from the
// host's UTF-8.

// Strict: appends the UTF-8 bytes of `c`, or returns false and appends
// nothing when `c` is not a Unicode scalar value.
bool AppendUtf8(char32_t c, std::string* out);
// Strict: false for overlong forms, surrogates, stray or cut-off bytes, so
// that text which decodes converts back to the very same bytes.
bool DecodeUtf8(std::string_view text, std::wstring* out);

// Lenient, for showing text: what cannot be converted becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace pathmere

#pragma once

#include <cstddef>
#include <string_view>

namespace pathmere {

// Copies into fixed wide buffers of `capacity` characters (terminator
// included): what does not fit is cut, the result always ends with a NUL,
// and nothing is ever written past the capacity. Each returns the length of
// the buffer's text afterwards.

// Replaces the buffer's text with `text`.
size_t CopyWideCut(wchar_t* buffer, size_t capacity, std::wstring_view text);
// Replaces the buffer's text with 8-bit `text`, each byte one character.
size_t WidenInto(wchar_t* buffer, size_t capacity, std::string_view text);
// Replaces the buffer's text with `text` only when all of it fits; returns
// false and leaves the buffer as it was otherwise.
bool CopyWideWhole(wchar_t* buffer, size_t capacity, std::wstring_view text);
// Appends `text` to the buffer's NUL-terminated text.
size_t AppendWideCut(wchar_t* buffer, size_t capacity, std::wstring_view text);

}  // namespace pathmere

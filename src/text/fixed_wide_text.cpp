#include "text/fixed_wide_text.h"

#include <cwchar>

namespace pathmere {

size_t CopyWideCut(wchar_t* buffer, size_t capacity, std::wstring_view text) {
  if (capacity == 0) return 0;
  const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  text.copy(buffer, n);
  buffer[n] = L'\0';
  return n;
}

size_t WidenInto(wchar_t* buffer, size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  for (size_t i = 0; i < n; ++i) {
    buffer[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  }
  buffer[n] = L'\0';
  return n;
}

bool CopyWideWhole(wchar_t* buffer, size_t capacity, std::wstring_view text) {
  if (text.size() >= capacity) return false;
  CopyWideCut(buffer, capacity, text);
  return true;
}

size_t AppendWideCut(wchar_t* buffer, size_t capacity, std::wstring_view text) {
  if (capacity == 0) return 0;
  const size_t length = wcsnlen(buffer, capacity - 1);
  return length + CopyWideCut(buffer + length, capacity - length, text);
}

}  // namespace pathmere

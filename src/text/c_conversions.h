#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The C library conversions the sentence decoders are built on, reproduced so
// that every input, however absurd, has a defined result. All of them read a
// NUL-terminated text and never look past its terminator.
namespace pathmere {

// Like sscanf's "%2d" / "%3d": optional white space, then at most `width`
// characters holding an optional sign and decimal digits. When no number can
// be read (no digit, a lone sign) the result is 0.
int32_t ScanFixedWidthInt(const char* text, int width);

// Like atof: the leading decimal (or hexadecimal, "inf", "nan") number, 0.0
// when there is none. Relies on the "C" numeric locale.
double ScanDouble(const char* text);

// Like atoi, except that values outside the int32 range saturate instead of
// being undefined.
int32_t ScanInt(const char* text);
// The same for a text that may hold NUL bytes: the number ends at the first
// byte that cannot continue it, a NUL or the end of `text` included.
int32_t ScanInt(std::string_view text);

// Moves from `from` (included) to just past the next ",". Returns nullptr when
// a byte below 0x20 (the terminator among them) or one with its top bit set
// comes first.
const char* SkipField(const char* from);

// Like strncmp(text, prefix, length) == 0 for a prefix without NUL, inlined:
// it runs for every sentence. Stops at the first difference, so it never
// reads past the terminator of a shorter text.
template <size_t N>
inline bool HasPrefix(const char* text, const char (&prefix)[N]) {
  for (size_t i = 0; i + 1 < N; ++i) {
    if (text[i] != prefix[i]) return false;
  }
  return true;
}

// `text` + `offset`, but never beyond `end` (the terminator): fixed positions
// in a short sentence read as the end of the text.
inline const char* ClampedOffset(const char* text, size_t offset, const char* end) {
  const auto available = static_cast<size_t>(end - text);
  return text + (offset < available ? offset : available);
}

}  // namespace pathmere

#pragma once

#include <string>
#include <string_view>

namespace pathmere {

// The program's wide texts (paths, messages) to and from the host's UTF-8.
// A character that is not a Unicode scalar value becomes U+FFFD; malformed
// UTF-8 bytes become U+FFFD each.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace pathmere

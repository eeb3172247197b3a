#pragma once

namespace pathmere {

// 0 when the sentence's checksum is acceptable; 1 no leading "$", 2 no "*",
// 3 checksum field unreadable, 4 checksum differs.
int VerifyChecksum(const char* sentence);

}  // namespace pathmere

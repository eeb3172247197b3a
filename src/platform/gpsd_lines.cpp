#include "platform/gpsd_lines.h"

namespace pathmere {

size_t GpsdLines::Filter(uint8_t* bytes, size_t count) {
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t c = bytes[i];
    if (atLineStart_) inReply_ = c == '{';
    atLineStart_ = c == '\n';
    if (!inReply_) bytes[kept++] = c;
  }
  return kept;
}

}  // namespace pathmere

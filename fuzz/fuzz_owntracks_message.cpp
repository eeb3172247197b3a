// Arbitrary bytes as a message on the collector's topics: the first byte
// splits them into topic and payload. Whatever arrives, decoding ends with a
// defined result, and a message it accepts names a folder inside the
// collector's own (no "/", no "..").
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "output/owntracks_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = data[0] < bytes.size() ? data[0] : bytes.size();
  const pathmere::DecodedLocation decoded =
      pathmere::DecodeOwnTracksMessage(bytes.substr(0, split), bytes.substr(split));
  if (decoded.problem == pathmere::MessageProblem::kNone) {
    const std::string folder = decoded.user + "-" + decoded.device;
    if (folder.find('/') != std::string::npos || !pathmere::IsTopicPart(decoded.user) ||
        !pathmere::IsTopicPart(decoded.device)) {
      std::abort();
    }
    if (decoded.fix.month < 1 || decoded.fix.month > 12 || decoded.fix.day < 1 || decoded.fix.day > 31 ||
        decoded.fix.hour > 23 || decoded.fix.minute > 59) {
      std::abort();
    }
  }
  return 0;
}

// What a network peer or a COMn file can hand the program: a source
// address as written by the user, and gpsd's stream with its JSON replies
// among the receiver's lines. The first byte chooses which; for the stream
// the second byte is the read size, and the result must not depend on it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/gpsd_lines.h"
#include "platform/source_address.h"

namespace {

using namespace pathmere;

void CheckAddress(std::string_view text) {
  SourceAddress address;
  std::string problem;
  if (!ParseSourceAddress(text, &address, &problem)) {
    if (problem.empty()) fuzzing::Fail("an address refused without a reason");
    return;
  }
  if (address.port.empty() || address.port.size() > 5 ||
      address.port.find_first_not_of("0123456789") != std::string::npos) {
    fuzzing::Fail("a port that is not a number");
  }
  const long port = std::stol(address.port);
  if (port < 1 || port > 65535) fuzzing::Fail("a port out of range");
  if (address.HostAndPort().empty()) fuzzing::Fail("no host and port");
  SourceAddress again;
  if (!ParseSourceAddress(address.text, &again, &problem) || again.host != address.host ||
      again.port != address.port || again.device != address.device || again.kind != address.kind) {
    fuzzing::Fail("the address as written reads otherwise");
  }
}

std::string Filtered(const uint8_t* data, size_t size, size_t step) {
  GpsdLines lines;
  std::string passed;
  std::vector<uint8_t> buffer;
  for (size_t at = 0; at < size; at += step) {
    const size_t count = size - at < step ? size - at : step;
    buffer.assign(data + at, data + at + count);
    const size_t kept = lines.Filter(buffer.data(), buffer.size());
    if (kept > count) fuzzing::Fail("more bytes passed than read");
    passed.append(reinterpret_cast<const char*>(buffer.data()), kept);
  }
  return passed;
}

void CheckGpsdStream(const uint8_t* data, size_t size, size_t step) {
  const std::string passed = Filtered(data, size, step);
  if (passed != Filtered(data, size, size == 0 ? 1 : size))
    fuzzing::Fail("the read size changed what passed");
  for (size_t at = 0; at < passed.size(); at = passed.find('\n', at) + 1) {
    if (passed[at] == '{') fuzzing::Fail("a gpsd reply passed");
    if (passed.find('\n', at) == std::string::npos) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  if ((data[0] & 1) == 0) {
    CheckAddress(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  } else {
    CheckGpsdStream(data + 2, size - 2, 1 + data[1] % 64);
  }
  return 0;
}

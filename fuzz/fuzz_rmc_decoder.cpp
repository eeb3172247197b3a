// One line of arbitrary bytes into the checksum check and the RMC decoder.
// The text sits in a buffer of exactly its size, so a read past its
// terminator is an AddressSanitizer report.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fix/gps_fix.h"
#include "fix/nmea_checksum.h"
#include "fix/rmc_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto sentence = std::make_unique<char[]>(size + 1);
  std::memcpy(sentence.get(), data, size);
  sentence[size] = '\0';
  (void)pathmere::VerifyChecksum(sentence.get());
  pathmere::GpsFix fix;
  (void)pathmere::DecodeRmc(sentence.get(), &fix);
  return 0;
}

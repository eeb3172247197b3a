#include "fix/nmea_checksum.h"

#include <gtest/gtest.h>

namespace pathmere {
namespace {

struct ChecksumCase {
  const char* legend;
  const char* sentence;
  int expected;
};

// "GPGP" XORs to 0, "GPAB" to 0x14, "GP\xC1" to 0xD6.
const ChecksumCase kChecksumCases[] = {
    {"standard RMC", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", 0},
    {"lower-case hex digits", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a", 0},
    {"one bit off", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B", 4},
    {"no dollar", "GPRMC,123519*6A", 1},
    {"no asterisk", "$GPRMC,123519,A", 2},
    {"empty checksum field", "$GPRMC,123519,A*", 3},
    {"letters that are not hex", "$GPRMC,123519,A*zz", 3},
    {"XOR 0 with field 00", "$GPGP*00", 0},
    {"XOR 0 with field 0", "$GPGP*0", 0},
    {"XOR 0 with blank then 0", "$GPGP* 0", 3},
    {"leading blank before real digits", "$GPAB* 14", 0},
    {"value above 255 never matches", "$GPAB*114", 4},
    {"very long hex field", "$GPAB*ffffffffffffffffffffffff14", 4},
    {"digits stop at first non-hex", "$GPAB*14xyz", 0},
    {"high bytes take part in the XOR", "$GP\xC1*D6", 0},
    // The sum is taken eight bytes at a time: bodies of a whole word, a word
    // and one, and two words and three, with high bytes inside the words.
    {"body of exactly eight bytes", "$GPABCDEF*10", 0},
    {"body of nine bytes with high bytes",
     "$GP\xC1\xFF\x80"
     "ABCD*AD",
     0},
    {"body of nineteen bytes", "$GPGSV,3,1,12,01,02\xFE*85", 0},
    {"body of nineteen bytes, one bit off", "$GPGSV,3,1,12,01,02\xFE*84", 4},
};

TEST(VerifyChecksumTest, TableOfCases) {
  for (const auto& c : kChecksumCases) {
    EXPECT_EQ(VerifyChecksum(c.sentence), c.expected) << c.legend;
  }
}

}  // namespace
}  // namespace pathmere

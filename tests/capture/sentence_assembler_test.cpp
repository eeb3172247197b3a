#include "capture/sentence_assembler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pathmere {
namespace {

struct RecordingSink : SentenceSink {
  void ProcessSentence(const char* sentence) override { sentences.emplace_back(sentence); }
  std::vector<std::string> sentences;
};

std::vector<std::string> Assemble(const std::string& bytes) {
  RecordingSink sink;
  SentenceAssembler assembler(sink);
  assembler.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
  return sink.sentences;
}

std::string OfLength(size_t length) {
  std::string s = "$GPXYZ,";
  s.resize(length, '9');
  return s;
}

struct AssemblerCase {
  const char* legend;
  std::string in;
  std::vector<std::string> out;
};

TEST(SentenceAssemblerTest, TableOfCases) {
  const AssemblerCase cases[] = {
      {"CR LF", "$GPRMC,1*00\r\n", {"$GPRMC,1*00"}},
      {"lone LF", "$GPRMC,1\n$GPGGA,2\n", {"$GPRMC,1", "$GPGGA,2"}},
      {"lone CR", "$GPRMC,1\r$GPGGA,2\r", {"$GPRMC,1", "$GPGGA,2"}},
      {"blank lines do nothing", "\r\n\r\n\n\r", {}},
      {"leading garbage", "xx$G$$GPGSV,3\r\n", {"$GPGSV,3"}},
      {"no final line end: never handed on", "$GPRMC,1\r\n$GPRMC,2", {"$GPRMC,1"}},
      {"lost line end: the cut sentence is dropped", "$GPGGA,123$GPRMC,4\r\n", {"$GPRMC,4"}},
      {"other talkers are never assembled", "$GNRMC,1\r\n$PGRMZ,2\r\n$GPRMC,3\r\n", {"$GPRMC,3"}},
      {"126 characters pass", OfLength(126) + "\r\n", {OfLength(126)}},
      {"127 characters are dropped", OfLength(127) + "\r\n", {}},
      {"after an overflow bytes are skipped to the next $GP",
       OfLength(200) + "\r\nrest\r\n$GPRMC,5\r\n", {"$GPRMC,5"}},
      {"high bytes are kept", "$GP\xC1\xFF\r\n", {"$GP\xC1\xFF"}},
      {"NUL inside ends the text early", std::string("$GPA\0B\r\n", 8), {"$GPA"}},
  };
  for (const AssemblerCase& c : cases) {
    EXPECT_EQ(Assemble(c.in), c.out) << c.legend;
  }
}

// State carries over between calls: a sentence cut at the end of one block
// is completed by the next.
TEST(SentenceAssemblerTest, SentencesSpanBlocks) {
  RecordingSink sink;
  SentenceAssembler assembler(sink);
  const std::string first = "noise $G";
  const std::string second = "PRMC,1*00\r";
  assembler.Feed(reinterpret_cast<const uint8_t*>(first.data()), static_cast<int32_t>(first.size()));
  assembler.Feed(reinterpret_cast<const uint8_t*>(second.data()), static_cast<int32_t>(second.size()));
  EXPECT_EQ(sink.sentences, (std::vector<std::string>{"$GPRMC,1*00"}));
}

TEST(SentenceAssemblerTest, BinaryNoiseNeverOverrunsTheBuffer) {
  RecordingSink sink;
  SentenceAssembler assembler(sink);
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    uint8_t c = static_cast<uint8_t>(seed >> 16);
    if (i % 5000 == 0) assembler.Feed(reinterpret_cast<const uint8_t*>("$GP"), 3);
    assembler.FeedByte(c);
  }
  for (const std::string& s : sink.sentences) {
    EXPECT_LE(s.size(), 126u);
    EXPECT_EQ(s.rfind("$GP", 0), 0u);
  }
}

}  // namespace
}  // namespace pathmere

#include "capture/sentence_assembler.h"

#include <cstddef>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_environment.h"

namespace pathmere {
namespace {

struct RecordingSink : SentenceSink {
  void ProcessSentence(const char* sentence) override { sentences.emplace_back(sentence); }
  std::vector<std::string> sentences;
};

// The GPS starts, or those of the other satellite systems.
using Starts = std::span<const uint32_t>;

std::vector<std::string> Assemble(const std::string& bytes, Starts starts = kGpsStarts) {
  RecordingSink sink;
  SentenceAssembler assembler(sink, starts);
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
  Starts starts = kGpsStarts;
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
       OfLength(200) + "\r\nrest\r\n$GPRMC,5\r\n",
       {"$GPRMC,5"}},
      {"high bytes are kept", "$GP\xC1\xFF\r\n", {"$GP\xC1\xFF"}},
      {"NUL inside ends the text early", std::string("$GPA\0B\r\n", 8), {"$GPA"}},
      {"other systems: each talker starts",
       "$GNRMC,1\r\n$GLGSV,2\r\n$GAGSV,3\n$GBGSA,4\r$GQGSV,5\r\n$BDGSA,6\r\n",
       {"$GNRMC,1", "$GLGSV,2", "$GAGSV,3", "$GBGSA,4", "$GQGSV,5", "$BDGSA,6"},
       kOtherSystemStarts},
      {"other systems: GPS and proprietary sentences are not theirs",
       "$GPRMC,1\r\n$PGRMZ,2\r\n$GSGSV,3\r\n$BDGSV,4\r\n",
       {"$BDGSV,4"},
       kOtherSystemStarts},
      {"other systems: a $GP does not cut their sentence",
       "$GNRMC,1$GPRMC,2\r\n",
       {"$GNRMC,1$GPRMC,2"},
       kOtherSystemStarts},
      {"other systems: a lost line end, restarted by another talker",
       "$GNGGA,1$GLGSV,2\r\n",
       {"$GLGSV,2"},
       kOtherSystemStarts},
      {"other systems: 127 characters are dropped",
       "$GN" + OfLength(127).substr(3) + "\r\n$BDX\r\n",
       {"$BDX"},
       kOtherSystemStarts},
  };
  for (const AssemblerCase& c : cases) {
    EXPECT_EQ(Assemble(c.in, c.starts), c.out) << c.legend;
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

// The block scanner against the rule it replaces: whatever the bytes and
// however they are cut into blocks, Feed hands on the very sentences that
// FeedByte, one byte at a time, does.
std::vector<std::string> AssembleByteByByte(const std::string& bytes, Starts starts = kGpsStarts) {
  RecordingSink sink;
  SentenceAssembler assembler(sink, starts);
  for (const char c : bytes) assembler.FeedByte(static_cast<uint8_t>(c));
  return sink.sentences;
}

// `nextSize` gives the length of each block in turn.
std::vector<std::string> AssembleInBlocks(const std::string& bytes, const std::function<size_t()>& nextSize,
                                          Starts starts = kGpsStarts) {
  RecordingSink sink;
  SentenceAssembler assembler(sink, starts);
  for (size_t at = 0; at < bytes.size();) {
    const size_t size = std::min(nextSize(), bytes.size() - at);
    assembler.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + at), static_cast<int32_t>(size));
    at += size;
  }
  return sink.sentences;
}

void ExpectSameAsByteRule(const std::string& bytes, const std::string& legend, Starts starts = kGpsStarts) {
  const std::vector<std::string> expected = AssembleByteByByte(bytes, starts);
  for (const size_t fixed : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{1024}, size_t{4096}}) {
    EXPECT_EQ(AssembleInBlocks(
                  bytes, [fixed] { return fixed; }, starts),
              expected)
        << legend << ", blocks of " << fixed;
  }
  std::mt19937 random(20240309);
  std::uniform_int_distribution<size_t> small(1, 9), large(1, 3000);
  EXPECT_EQ(AssembleInBlocks(
                bytes, [&] { return small(random); }, starts),
            expected)
      << legend << ", random blocks of 1 to 9";
  EXPECT_EQ(AssembleInBlocks(
                bytes, [&] { return large(random); }, starts),
            expected)
      << legend << ", random blocks of 1 to 3000";
  // The whole input as one block.
  EXPECT_EQ(AssembleInBlocks(
                bytes, [&] { return bytes.size(); }, starts),
            expected)
      << legend << ", one block";
}

TEST(SentenceAssemblerBlockScanTest, RecordedLogsGiveTheSameSentences) {
  const auto logs = testing::RecordedLogs();
  if (logs.empty()) GTEST_SKIP() << "recorded logs not found";
  size_t sentences = 0;
  for (const auto& log : logs) {
    const std::string bytes = testing::ReadWholeFile(log);
    ExpectSameAsByteRule(bytes, log.filename().string());
    ExpectSameAsByteRule(bytes, log.filename().string() + ", other systems", kOtherSystemStarts);
    sentences += AssembleByteByByte(bytes).size();
  }
  EXPECT_GT(sentences, 10000u);  // the comparison saw real traffic
}

// Mostly the bytes the rule looks at, so that restarts, lost line ends,
// overlong sentences and cuts inside a start all happen often.
std::string RandomStream(std::mt19937& random, const std::vector<std::string>& pieces) {
  std::string bytes;
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> any(0, 255), runLength(110, 135);
  while (bytes.size() < 20000) {
    if (any(random) < 16) {
      bytes.append(static_cast<size_t>(runLength(random)), 'x');  // runs past 126 characters
    } else if (any(random) < 64) {
      bytes.push_back(static_cast<char>(any(random)));
    } else {
      bytes += pieces[pick(random)];
    }
  }
  return bytes;
}

TEST(SentenceAssemblerBlockScanTest, RandomBytesGiveTheSameSentences) {
  const std::vector<std::string> gpsPieces = {"$",  "G",    "P", "$G", "$GP", "$GP", "\r",
                                              "\n", "\r\n", ",", "*",  "0",   "A",   "\xC1"};
  const std::vector<std::string> otherPieces = {"$",  "G",  "N",    "$G", "$GN", "$GL", "$BD", "B",   "D",
                                                "\r", "\n", "\r\n", ",",  "*",   "$GP", "A",   "\xC1"};
  struct Kind {
    const char* legend;
    const std::vector<std::string>& pieces;
    Starts starts;
  };
  for (const Kind& kind :
       {Kind{"GPS", gpsPieces, kGpsStarts}, Kind{"other systems", otherPieces, kOtherSystemStarts}}) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
      const std::string bytes = RandomStream(random, kind.pieces);
      EXPECT_GT(AssembleByteByByte(bytes, kind.starts).size(), 100u) << kind.legend;
      ExpectSameAsByteRule(bytes, std::string(kind.legend) + ", random round " + std::to_string(round),
                           kind.starts);
    }
  }
}

// Every way of cutting the table cases into two or three blocks.
TEST(SentenceAssemblerBlockScanTest, EveryCutOfShortInputs) {
  const std::string inputs[] = {
      "$GPRMC,1*00\r\n",
      "x$G$GP$GPA\r\n$GPB\n",
      "$GP$GP$GP\r",
      OfLength(126) + "\r\n",
      OfLength(127) + "$GPZ\r",
      "$GPA$GPB$",
      OfLength(127) + "\r" + OfLength(126) + "\n",
      "$GPA\r\n$GPB\r$GPC",
      OfLength(125) + "$GP\r",
  };
  for (const std::string& bytes : inputs) {
    const std::vector<std::string> expected = AssembleByteByByte(bytes);
    for (size_t first = 0; first <= bytes.size(); ++first) {
      for (size_t second = first; second <= bytes.size(); ++second) {
        RecordingSink sink;
        SentenceAssembler assembler(sink);
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        assembler.Feed(data, static_cast<int32_t>(first));
        assembler.Feed(data + first, static_cast<int32_t>(second - first));
        assembler.Feed(data + second, static_cast<int32_t>(bytes.size() - second));
        EXPECT_EQ(sink.sentences, expected) << bytes << " cut at " << first << " and " << second;
      }
    }
  }
}

}  // namespace
}  // namespace pathmere

#include "text/wide_text.h"

#include <gtest/gtest.h>

namespace pathmere {
namespace {

TEST(WideTextTest, RoundTripsEveryPlane) {
  const std::wstring text = L"Gr\u00fc\u00dfe \u6771\u4eac \U0001F6F0 \\Pathmere";
  std::wstring back;
  ASSERT_TRUE(DecodeUtf8(WideToUtf8(text), &back));
  EXPECT_EQ(back, text);
  EXPECT_EQ(WideToUtf8(L"\u00e9"), "\xC3\xA9");
}

TEST(WideTextTest, StrictDecodingRefusesWhatWouldNotConvertBack) {
  const char* const malformed[] = {
      "\xC0\xAF",          // overlong "/"
      "\xED\xA0\x80",      // a surrogate
      "\x80",              // stray continuation byte
      "\xE6\x9D",          // cut short
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "ok\xFF",
  };
  for (const char* bytes : malformed) {
    std::wstring out;
    EXPECT_FALSE(DecodeUtf8(bytes, &out)) << bytes;
  }
  std::string out;
  EXPECT_FALSE(AppendUtf8(0xD800, &out));
  EXPECT_FALSE(AppendUtf8(0x110000, &out));
  EXPECT_TRUE(out.empty());
}

TEST(WideTextTest, LenientConversionsReplaceWhatTheyCannotShow) {
  EXPECT_EQ(Utf8ToWide("a\xFF"
                       "b\xE6\x9D"),
            L"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace pathmere

// The table-driven encoder the spreadsheet writer runs once per cell, against
// the iconv conversion it stands in for.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage/AnsiEncoder.h"
#include "platform/codepage/CodePage.h"

using namespace codepage;

// The table-driven pages must give byte for byte what iconv gives, for every
// character and for malformed input.
TEST(AnsiEncoderTest, MatchesTheSharedConversionForEveryCharacter) {
  std::string all;
  for (char32_t c = 1; c < 0x10000; ++c)
    if (c < 0xD800 || c > 0xDFFF) AppendUtf8(all, c);
  AppendUtf8(all, 0x1F600);  // beyond the BMP
  all += "\xC0\xAF|\xE0\x80|\xED\xA0\x80|\xF4\x90\x80\x80|\x80|\xC3";  // malformed
  for (int page : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 932, 936, 949, 950}) {
    if (!IsSupported(page)) continue;
    AnsiEncoder enc(page);
    std::string got;
    ASSERT_TRUE(enc.Encode(all, std::string::npos, got)) << page;
    EXPECT_EQ(got, FromUtf8(all, page).bytes) << page;
  }
}

TEST(AnsiEncoderTest, LimitCountsBytes) {
  AnsiEncoder w(1252), j(932);
  std::string out;
  EXPECT_TRUE(w.Encode("ab\xC3\xA9", 3, out));  // abé
  EXPECT_EQ(out, "ab\xE9");
  EXPECT_FALSE(w.Encode("abc\xC3\xA9", 3, out));
  EXPECT_TRUE(j.Encode("\xE6\x97\xA5", 2, out));  // 日: two bytes
  EXPECT_FALSE(j.Encode("a\xE6\x97\xA5", 2, out));
  EXPECT_TRUE(w.Encode("", 0, out));
  EXPECT_EQ(out, "");
}

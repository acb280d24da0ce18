// Texts as the writer puts them into cells: the code-page encoder against
// the shared iconv conversion, and values turned into text.
#include <gtest/gtest.h>

#include <string>

#include "excel/AnsiEncoder.h"
#include "excel/Value.h"
#include "platform/codepage/CodePage.h"

namespace {

void AppendUtf8(std::string& out, char32_t v) {
  if (v < 0x80) {
    out += static_cast<char>(v);
  } else if (v < 0x800) {
    out += static_cast<char>(0xC0 | (v >> 6));
    out += static_cast<char>(0x80 | (v & 0x3F));
  } else if (v < 0x10000) {
    out += static_cast<char>(0xE0 | (v >> 12));
    out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (v & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (v >> 18));
    out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (v & 0x3F));
  }
}

}  // namespace

// The table-driven pages must give byte for byte what iconv gives, for every
// character and for malformed input.
TEST(AnsiEncoderTest, MatchesTheSharedConversionForEveryCharacter) {
  std::string all;
  for (char32_t c = 1; c < 0x10000; ++c)
    if (c < 0xD800 || c > 0xDFFF) AppendUtf8(all, c);
  AppendUtf8(all, 0x1F600);  // beyond the BMP
  all += "\xC0\xAF|\xE0\x80|\xED\xA0\x80|\xF4\x90\x80\x80|\x80|\xC3";  // malformed
  for (int page : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 932, 936, 949, 950}) {
    if (!codepage::IsSupported(page)) continue;
    excel::AnsiEncoder enc(page);
    std::string got;
    ASSERT_TRUE(enc.Encode(all, std::string::npos, got)) << page;
    EXPECT_EQ(got, codepage::FromUtf8(all, page).bytes) << page;
  }
}

TEST(AnsiEncoderTest, LimitCountsBytes) {
  excel::AnsiEncoder w(1252), j(932);
  std::string out;
  EXPECT_TRUE(w.Encode("ab\xC3\xA9", 3, out));  // abé
  EXPECT_EQ(out, "ab\xE9");
  EXPECT_FALSE(w.Encode("abc\xC3\xA9", 3, out));
  EXPECT_TRUE(j.Encode("\xE6\x97\xA5", 2, out));  // 日: two bytes
  EXPECT_FALSE(j.Encode("a\xE6\x97\xA5", 2, out));
  EXPECT_TRUE(w.Encode("", 0, out));
  EXPECT_EQ(out, "");
}

TEST(ValueTest, NumbersAndBooleansAsText) {
  struct Case { excel::Value v; const char* text; };
  const Case cases[] = {
      {42, "42"}, {-7, "-7"}, {1.5, "1.5"}, {0.1, "0.1"}, {-0.0, "0"}, {1.0 / 3, "0.333333333333333"},
      {1e20, "1E+20"}, {123456789012345.0, "123456789012345"}, {2.5e-7, "2.5E-07"},
      {true, "True"}, {false, "False"}, {excel::Value(), ""}, {"as is ", "as is "},
  };
  for (const auto& c : cases) {
    std::string_view text;
    std::string storage;
    ASSERT_EQ(c.v.ToText(&text, storage), 0) << c.text;
    EXPECT_EQ(text, c.text);
  }
  std::string_view text;
  std::string storage;
  EXPECT_EQ(excel::Value::Null().ToText(&text, storage), 94);
  EXPECT_EQ(excel::Value(static_cast<const char*>(nullptr)).kind(), excel::Value::Kind::Null);
}

TEST(ValueTest, WholeNumbersRoundHalfToEven) {
  struct Case { double d; std::int32_t n; };
  for (auto c : {Case{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {65535.4, 65535}}) {
    std::int32_t n = 99;
    ASSERT_EQ(excel::Value(c.d).ToWholeNumber(&n), 0) << c.d;
    EXPECT_EQ(n, c.n) << c.d;
  }
  std::int32_t n;
  EXPECT_EQ(excel::Value(65535.5).ToWholeNumber(&n), 6);
  EXPECT_EQ(excel::Value(std::numeric_limits<double>::quiet_NaN()).ToWholeNumber(&n), 6);
  EXPECT_EQ(excel::Value(std::uint64_t{1} << 63).ToWholeNumber(&n), 6);
  EXPECT_EQ(excel::Value("0x10").ToWholeNumber(&n), 13);
}

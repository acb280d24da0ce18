// Texts as the writer puts them into cells: values turned into text.
#include <gtest/gtest.h>

#include <string>

#include "excel/Value.h"
#include "platform/codepage/CodePage.h"

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

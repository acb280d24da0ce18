#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage/CodePage.h"

using namespace codepage;

TEST(CodePageTest, LocalesMapToTheirWindowsAnsiPage) {
  struct { const char* locale; int cp; } cases[] = {
      {"en_US.UTF-8", 1252}, {"de_DE", 1252}, {"fr_FR.UTF-8", 1252}, {"sv_SE", 1252},
      {"pl_PL.UTF-8", 1250}, {"cs_CZ", 1250},  {"hu_HU", 1250},       {"ru_RU.UTF-8", 1251},
      {"uk_UA", 1251},       {"bg_BG", 1251},  {"el_GR.UTF-8", 1253}, {"tr_TR", 1254},
      {"he_IL", 1255},       {"ar_EG", 1256},  {"lt_LT", 1257},       {"lv_LV", 1257},
      {"et_EE", 1257},       {"vi_VN", 1258},  {"th_TH.UTF-8", 874},  {"ja_JP.UTF-8", 932},
      {"zh_CN.UTF-8", 936},  {"ko_KR.EUC-KR", 949}, {"zh_TW.Big5", 950}, {"C", 1252},
      {"POSIX", 1252},       {"", 1252},       {"xx_YY", 1252},       {"ja", 932},
      {"sr_RS@latin", 1251}, {"ru_RU.UTF-8@euro", 1251}, {"esperanto", 1252},
  };
  for (auto& c : cases) EXPECT_EQ(AnsiCodePageForLocale(c.locale), c.cp) << c.locale;
}

TEST(CodePageTest, SystemPageFollowsLcAllThenLcCtypeThenLang) {
  const char* saved[3] = {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")};
  std::string keep[3];
  for (int i = 0; i < 3; ++i) keep[i] = saved[i] ? saved[i] : "";
  unsetenv("LC_ALL");
  unsetenv("LC_CTYPE");
  setenv("LANG", "ru_RU.UTF-8", 1);
  EXPECT_EQ(SystemAnsiCodePage(), 1251);
  setenv("LC_CTYPE", "ja_JP.UTF-8", 1);
  EXPECT_EQ(SystemAnsiCodePage(), 932);
  setenv("LC_ALL", "pl_PL.UTF-8", 1);
  EXPECT_EQ(SystemAnsiCodePage(), 1250);
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(SystemAnsiCodePage(), 932);
  const char* names[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) setenv(names[i], keep[i].c_str(), 1);
    else unsetenv(names[i]);
  }
}

TEST(CodePageTest, EncodesWindowsOnlyCharactersAndReplacesMissingOnes) {
  // € „ “ Œ live in 0x80-0x9F of 1252, where ISO-8859-1 has control codes.
  EXPECT_EQ(FromUtf8("é€„“Œ", 1252).bytes, "\xE9\x80\x84\x93\x8C");
  auto r = FromUtf8("aЖb", 1252);
  EXPECT_EQ(r.bytes, "a?b");
  EXPECT_EQ(r.replaced, 1u);
  EXPECT_EQ(FromUtf8("Жж", 1251).bytes, "\xC6\xE6");
  EXPECT_EQ(FromUtf8("日本", 932).bytes, "\x93\xFA\x96\x7B");
  EXPECT_EQ(FromUtf8("\xFF", 1252).bytes, "?");  // malformed UTF-8
  EXPECT_EQ(FromUtf8("😀", 1252).bytes, "?");
}

TEST(CodePageTest, TruncationNeverCutsADoubleByteCharacter) {
  auto r = FromUtf8("a日本", 932, 4);  // a + 2 bytes fit, the next 2 do not
  EXPECT_EQ(r.bytes, "a\x93\xFA");
  EXPECT_TRUE(r.truncated);
  r = FromUtf8("abc", 1252, 3);
  EXPECT_FALSE(r.truncated);
  r = FromUtf8("abcd", 1252, 3);
  EXPECT_EQ(r.bytes, "abc");
  EXPECT_TRUE(r.truncated);
}

TEST(CodePageTest, DecodesAndRoundTrips) {
  EXPECT_EQ(ToUtf8("\xE9\x80", 1252), "é€");
  EXPECT_EQ(ToUtf8("\x93\xFA\x96\x7B", 932), "日本");
  EXPECT_EQ(ToUtf8("\xC6", 1251), "Ж");
  // A lone double-byte lead at the end and an undefined byte become U+FFFD.
  EXPECT_EQ(ToUtf8("a\x93", 932), "a\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8("a\x81" "b", 1252), "a\xEF\xBF\xBD" "b");
  // Double-byte characters across every boundary of the decoder's 4 KB windows.
  for (std::size_t pad : {4094u, 4095u, 8190u, 8191u}) {
    const std::string ascii(pad, 'a');
    EXPECT_EQ(ToUtf8(ascii + "\x93\xFA\x96\x7B" "b", 932), ascii + "日本b") << pad;
  }
}

TEST(CodePageTest, Utf16HandlesSurrogatesAndDamage) {
  std::string pair("\x3D\xD8\x00\xDE", 4);  // U+1F600
  EXPECT_EQ(Utf16leToUtf8(pair), "😀");
  EXPECT_EQ(Utf8ToUtf16le("😀"), pair);
  EXPECT_EQ(Utf16leToUtf8(std::string("\x3D\xD8" "A\x00", 4)), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(Utf16leToUtf8(std::string("A\x00\x41", 3)), "A\xEF\xBF\xBD");
  EXPECT_EQ(Utf16leToUtf8(Utf8ToUtf16le("Grüße, 日本")), "Grüße, 日本");
  EXPECT_TRUE(IsValidUtf8("Grüße"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // an encoded surrogate
}

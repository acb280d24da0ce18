// Byte-exact records, the state machine and every status of ExcelFile.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <filesystem>
#include <functional>
#include <string>

#include "excel/ExcelFile.h"
#include "support/TestData.h"

using excel::ExcelFile;
using excel::Value;
namespace fs = std::filesystem;
namespace st = excel::status;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

// "04 00 12 00" -> bytes; "'text'" inserts the characters.
std::string Bytes(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
    } else if (hex[i] == '\'') {
      auto end = hex.find('\'', i + 1);
      out += hex.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s += ' ';
    s += d[c >> 4];
    s += d[c & 15];
  }
  return s;
}

constexpr std::size_t kPrologue = 8 + 6 + 6 + 376;  // BOF, CODEPAGE, FORMATCOUNT, FORMATs
const std::string kEof = Bytes("0A 00 00 00");

// The records a body of calls adds between the prologue and EOF.
class ExcelFileRecords : public ::testing::Test {
 protected:
  fs::path path() const { return dir_ / "out.xls"; }

  std::string Write(const std::function<void(ExcelFile&)>& calls, int codePage = 1252) {
    ExcelFile xls(codePage);
    EXPECT_EQ(xls.CreateFile(path()), 0);
    calls(xls);
    EXPECT_EQ(xls.CloseFile(), 0);
    std::string file = ReadFile(path());
    EXPECT_GE(file.size(), kPrologue + 4);
    EXPECT_EQ(file.substr(file.size() - 4), kEof);
    return file.substr(kPrologue, file.size() - kPrologue - 4);
  }

  TempDir dir_;
};

}  // namespace

TEST_F(ExcelFileRecords, CreateThenCloseGivesTheFixedPrologueAndEof) {
  EXPECT_EQ(Hex(Write([](ExcelFile&) {})), "");
  std::string file = ReadFile(path());
  ASSERT_EQ(file.size(), 400u);
  EXPECT_EQ(Hex(file.substr(0, 20)),
            Hex(Bytes("09 00 04 00 02 00 10 00  42 00 02 00 E4 04  1F 00 02 00 17 00")));
  const char* formats[24] = {
      R"(General)", R"(0)", R"(0.00)", R"(#,##0)", R"(#,##0.00)",
      R"(#,##0\ "$";\-#,##0\ "$")", R"(#,##0\ "$";[Red]\-#,##0\ "$")",
      R"(#,##0.00\ "$";\-#,##0.00\ "$")", R"(#,##0.00\ "$";[Red]\-#,##0.00\ "$")",
      R"(0%)", R"(0.00%)", R"(0.00E+00)", R"(dd/mm/yy)", R"(dd/\ mmm\ yy)", R"(dd/\ mmm)",
      R"(mmm\ yy)", R"(h:mm\ AM/PM)", R"(h:mm:ss\ AM/PM)", R"(hh:mm)", R"(hh:mm:ss)",
      R"(dd/mm/yy\ hh:mm)", R"(##0.0E+0)", R"(mm:ss)", R"(@)"};
  std::string expected;
  for (const char* f : formats) {
    std::string text = f;
    expected += Bytes("1E 00") + static_cast<char>(text.size() + 1) + '\0' +
                static_cast<char>(text.size()) + text;
  }
  EXPECT_EQ(file.substr(20, 376), expected);
  EXPECT_EQ(file.substr(396), kEof);
}

TEST_F(ExcelFileRecords, CodePageRecordNamesThePageUsed) {
  for (auto [page, bytes] : {std::pair{1251, "E3 04"}, {932, "A4 03"}, {1250, "E2 04"}}) {
    Write([](ExcelFile&) {}, page);
    EXPECT_EQ(Hex(ReadFile(path()).substr(8, 6)), Hex(Bytes("42 00 02 00 ") + Bytes(bytes)));
  }
  // A page iconv cannot write falls back to 1252.
  EXPECT_EQ(ExcelFile(4242).codePage(), 1252);
}

TEST_F(ExcelFileRecords, ChangedCodePageWaitsForTheNextFile) {
  ExcelFile x(1252);
  ASSERT_EQ(x.CreateFile(path()), 0);
  x.setCodePage(1251);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "Ж", 0), 0);  // still 1252: "?"
  ASSERT_EQ(x.CloseFile(), 0);
  std::string first = ReadFile(path());
  EXPECT_EQ(Hex(first.substr(8, 6)), "42 00 02 00 E4 04");
  EXPECT_EQ(first[kPrologue + 8 + 12], '?');
  ASSERT_EQ(x.CreateFile(path()), 0);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "Ж", 0), 0);
  ASSERT_EQ(x.CloseFile(), 0);
  std::string second = ReadFile(path());
  EXPECT_EQ(Hex(second.substr(8, 6)), "42 00 02 00 E3 04");
  EXPECT_EQ(Hex(second.substr(kPrologue + 8 + 12, 1)), "C6");
}

TEST_F(ExcelFileRecords, DefaultCodePageFollowsTheUsersLocale) {
  const char* saved = std::getenv("LC_ALL");
  std::string keep = saved ? saved : "";
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  ExcelFile ru;
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  ExcelFile ja;
  if (saved) setenv("LC_ALL", keep.c_str(), 1);
  else unsetenv("LC_ALL");
  EXPECT_EQ(ru.codePage(), 1251);
  EXPECT_EQ(ja.codePage(), 932);
}

TEST_F(ExcelFileRecords, HeadingCellGetsItsXfRecordFirst) {
  auto body = Write([](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(2, 64, 1, 0, 1, 1, "First Name", 0), 0);
    EXPECT_EQ(x.WriteValue(2, 64, 1, 0, 1, 2, "Middle Name", 0), 0);  // same XF, none added
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("43 00 04 00 01 00 00 01"
                                 "04 00 12 00 00 00 00 00 00 40 01 0A 'First Name'"
                                 "04 00 13 00 00 00 01 00 00 40 01 0B 'Middle Name'")));
}

TEST_F(ExcelFileRecords, NumberAndIntegerCells) {
  auto body = Write([](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(1, 0, 3, 0, 2, 3, 1.5, 0), 0);
    EXPECT_EQ(x.WriteValue(0, 0, 3, 0, 2, 3, 2, 0), 0);
    EXPECT_EQ(x.WriteValue(0, 0, 3, 0, 2, 3, 65535, 0), 0);
    // Readers take INTEGER as unsigned: a negative whole number goes out as NUMBER.
    EXPECT_EQ(x.WriteValue(0, 0, 3, 0, 2, 3, -2, 0), 0);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("43 00 04 00 00 00 00 03"
                                 "03 00 0F 00 01 00 02 00 00 00 03 00 00 00 00 00 00 F8 3F"
                                 "02 00 09 00 01 00 02 00 00 00 03 02 00"
                                 "02 00 09 00 01 00 02 00 00 00 03 FF FF"
                                 "03 00 0F 00 01 00 02 00 00 00 03 00 00 00 00 00 00 00 C0")));
}

TEST_F(ExcelFileRecords, IntegerConversionsRoundAndCheckTheRange) {
  struct Case { Value v; excel::Status status; std::string bytes; };
  const Case cases[] = {
      {2.5, 0, "02 00"}, {3.5, 0, "04 00"}, {32767, 0, "FF 7F"}, {32768, 0, "00 80"},
      {65536, st::kOverflow, ""}, {-32768, 0, "N 00 00 00 00 00 00 E0 C0"},
      {-32769, st::kOverflow, ""}, {-0.4, 0, "00 00"}, {" 12 ", 0, "0C 00"},
      {"1e3", 0, "E8 03"}, {"abc", st::kTypeMismatch, ""}, {"", st::kTypeMismatch, ""},
      {Value(), 0, "00 00"}, {false, 0, "00 00"}, {true, 0, "N 00 00 00 00 00 00 F0 BF"},
      {Value::Null(), st::kInvalidUseOfNull, ""}, {1e300, st::kOverflow, ""},
  };
  for (const auto& c : cases) {
    std::string body = Write([&](ExcelFile& x) {
      EXPECT_EQ(x.WriteValue(0, 0, 0, 0, 1, 1, c.v, 0), c.status) << c.bytes;
    });
    std::string want;
    if (!c.bytes.empty()) {
      want = Bytes("43 00 04 00 00 00 00 00");
      if (c.bytes[0] == 'N') want += Bytes("03 00 0F 00 00 00 00 00 00 00 00" + c.bytes.substr(1));
      else want += Bytes("02 00 09 00 00 00 00 00 00 00 00" + c.bytes);
    }
    EXPECT_EQ(Hex(body), Hex(want)) << c.bytes;
  }
}

TEST_F(ExcelFileRecords, NumberConversions) {
  struct Case { Value v; excel::Status status; double d; };
  const Case cases[] = {
      {"-1.25", 0, -1.25}, {"+4", 0, 4}, {"1e-400", 0, 0}, {"1e400", st::kOverflow, 0},
      {"inf", st::kTypeMismatch, 0}, {"12abc", st::kTypeMismatch, 0}, {Value(), 0, 0},
      {true, 0, -1}, {70000, 0, 70000}, {Value::Null(), st::kInvalidUseOfNull, 0},
      {std::numeric_limits<double>::infinity(), st::kOverflow, 0},
  };
  for (const auto& c : cases) {
    std::string body = Write([&](ExcelFile& x) {
      EXPECT_EQ(x.WriteValue(1, 0, 0, 0, 1, 1, c.v, 0), c.status) << c.d;
    });
    if (c.status != 0) {
      EXPECT_EQ(body, "");
      continue;
    }
    ASSERT_EQ(body.size(), 8u + 19u);
    double got;
    std::memcpy(&got, body.data() + 8 + 11, 8);
    EXPECT_EQ(got, c.d);
  }
}

TEST_F(ExcelFileRecords, TextCellsInTheCodePage) {
  const std::string t255(255, 'x');
  auto body = Write([&](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "", 0), 0);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 2, "é€Œ„“Ж", 0), 0);  // Ж is not in 1252
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 3, 1.5, 0), 0);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 4, true, 0), 0);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 5, t255, 0), 0);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 6, t255 + "y", 0), st::kOverflow);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 6, "é" + std::string(254, 'x') + "é", 0), st::kOverflow);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 7, Value::Null(), 0), st::kInvalidUseOfNull);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 8, "next", 0), 0);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("43 00 04 00 00 00 00 00"
                                 "04 00 08 00 00 00 00 00 00 00 00 00"
                                 "04 00 0E 00 00 00 01 00 00 00 00 06 E9 80 8C 84 93 3F"
                                 "04 00 0B 00 00 00 02 00 00 00 00 03 '1.5'"
                                 "04 00 0C 00 00 00 03 00 00 00 00 04 'True'"
                                 "04 00 07 01 00 00 04 00 00 00 00 FF '" + t255 + "'"
                                 "04 00 0C 00 00 00 07 00 00 00 00 04 'next'")));
}

TEST_F(ExcelFileRecords, DoubleByteTextsCountBytes) {
  const std::string nichi = "日";  // 93 FA in 932
  std::string fits;
  for (int i = 0; i < 127; ++i) fits += nichi;
  auto body = Write([&](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, fits + "a", 0), 0);       // 255 bytes
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 2, fits + nichi, 0), st::kOverflow);  // 256
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 3, "日本", 0), 0);
  }, 932);
  ASSERT_EQ(body.size(), 8u + 12 + 255 + 12 + 4);
  EXPECT_EQ(static_cast<unsigned char>(body[8 + 11]), 255);
  EXPECT_EQ(Hex(body.substr(8 + 12 + 255)),
            Hex(Bytes("04 00 0C 00 00 00 02 00 00 00 00 04 93 FA 96 7B")));
}

TEST_F(ExcelFileRecords, AttributesAndTheirChecks) {
  auto body = Write([](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(2, 64, 0, 0, 1, 1, "a", 5), 0);    // attribute 2 = 69
    EXPECT_EQ(x.WriteValue(2, 64, 0, 0, 1, 1, "a", 200), st::kOverflow);
    EXPECT_EQ(x.WriteValue(2, 0, 256, 0, 1, 1, "a", 0), st::kOverflow);
    EXPECT_EQ(x.WriteValue(0, 0, 0, -1, 1, 1, 1, 0), st::kOverflow);
    // The attribute check comes before the value's for numbers ...
    EXPECT_EQ(x.WriteValue(0, 0, 0, 300, 1, 1, Value::Null(), 0), st::kOverflow);
    // ... and after it for texts.
    EXPECT_EQ(x.WriteValue(2, 0, 0, 300, 1, 1, Value::Null(), 0), st::kInvalidUseOfNull);
    // Locked and hidden stay in bits 6-7; the XF index takes bits 0-5.
    EXPECT_EQ(x.WriteValue(2, 192, 0x7A, 192, 2, 1, "b", 3), 0);
    EXPECT_EQ(x.WriteValue(3, 0, 0, 0, 1, 1, "ignored", 0), 0);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("43 00 04 00 01 00 05 00"
                                 "04 00 09 00 00 00 00 00 00 45 00 01 'a'"
                                 "43 00 04 00 03 00 C3 7A"
                                 "04 00 09 00 01 00 00 00 C1 C3 7A 01 'b'")));
}

TEST_F(ExcelFileRecords, RowsAndColumnsMapToIndexes) {
  auto body = Write([](ExcelFile& x) {
    EXPECT_EQ(x.WriteValue(0, 0, 0, 0, 65536, 256, 1, 0), 0);
    EXPECT_EQ(x.WriteValue(0, 0, 0, 0, 0, 1, 1, 0), st::kOverflow);
    EXPECT_EQ(x.WriteValue(0, 0, 0, 0, 1, 65537, 1, 0), st::kOverflow);
    EXPECT_EQ(x.InsertHorizPageBreak(0), st::kOverflow);
    EXPECT_EQ(x.SetRowHeight(65537, 10), st::kOverflow);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("43 00 04 00 00 00 00 00 02 00 09 00 FF FF FF 00 00 00 00 01 00")));
}

TEST_F(ExcelFileRecords, SixtyFourCellFormatsAtMost) {
  auto body = Write([](ExcelFile& x) {
    for (int i = 0; i < 64; ++i)
      ASSERT_EQ(x.WriteValue(0, 0, i % 8, 0, i + 1, 1, 1, i / 8), 0) << i;
    EXPECT_EQ(x.WriteValue(0, 0, 0, 64, 100, 1, 1, 0), st::kOverflow);  // a 65th
    EXPECT_EQ(x.WriteValue(2, 0, 0, 64, 100, 1, "t", 0), st::kOverflow);
    EXPECT_EQ(x.WriteValue(0, 0, 7, 0, 101, 1, 1, 7), 0);               // the 64th again
  });
  ASSERT_EQ(body.size(), 64u * (8 + 13) + 13);
  EXPECT_EQ(Hex(body.substr(64 * 21)),
            Hex(Bytes("02 00 09 00 64 00 00 00 3F 07 07 01 00")));
}

TEST_F(ExcelFileRecords, PageBreaksAreSortedBeforeEof) {
  auto body = Write([](ExcelFile& x) {
    for (int row : {10, 3, 7, 3}) EXPECT_EQ(x.InsertHorizPageBreak(row), 0);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("1B 00 0A 00 04 00 02 00 02 00 06 00 09 00")));
}

TEST_F(ExcelFileRecords, PageBreakListHoldsAtMost16382) {
  auto body = Write([](ExcelFile& x) {
    for (int i = 0; i < 16382; ++i) ASSERT_EQ(x.InsertHorizPageBreak(16383 - i % 16383), 0);
    EXPECT_EQ(x.InsertHorizPageBreak(5), st::kOverflow);
  });
  ASSERT_EQ(body.size(), 6u + 2 * 16382);
  EXPECT_EQ(Hex(body.substr(0, 8)), "1B 00 FE 7F FE 3F 01 00");
}

TEST_F(ExcelFileRecords, SheetLayoutRecords) {
  auto body = Write([](ExcelFile& x) {
    EXPECT_EQ(x.SetFont("Verdana", 10, 0), 0);
    EXPECT_EQ(x.SetFont("Courier", 16, 3), 0);
    EXPECT_EQ(x.SetFont("Big", 1638, 255), 0);
    EXPECT_EQ(x.SetHeader("BIFF 2.1 API"), 0);
    EXPECT_EQ(x.SetFooter(""), 0);
    EXPECT_EQ(x.SetColumnWidth(1, 3, 20), 0);
    EXPECT_EQ(x.SetColumnWidth(5, 2, 127), 0);  // written as asked
    EXPECT_EQ(x.SetDefaultRowHeight(15), 0);
    EXPECT_EQ(x.SetRowHeight(1, 20), 0);
    EXPECT_EQ(x.SetMargin(38, 1.0), 0);
    EXPECT_EQ(x.SetMargin(41, 0.75), 0);
    x.PrintGridLines(true);
    x.ProtectSpreadsheet(false);
    EXPECT_EQ(x.SetFilePassword("abcd"), 0);
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("31 00 0C 00 C8 00 00 00 07 'Verdana'"
                                 "31 00 0C 00 40 01 03 00 07 'Courier'"
                                 "31 00 08 00 F8 7F FF 00 03 'Big'"
                                 "14 00 0D 00 0C 'BIFF 2.1 API'"
                                 "15 00 01 00 00"
                                 "24 00 04 00 00 02 00 14"
                                 "24 00 04 00 04 01 00 7F"
                                 "25 00 02 00 2C 01"
                                 "08 00 10 00 00 00 00 00 00 01 90 01 00 00 00 00 00 00 00 00"
                                 "26 00 08 00 00 00 00 00 00 00 F0 3F"
                                 "29 00 08 00 00 00 00 00 00 00 E8 3F"
                                 "2B 00 02 00 01 00"
                                 "12 00 02 00 00 00"
                                 "2F 00 04 00 'abcd'")));
}

TEST_F(ExcelFileRecords, SheetLayoutChecksWriteNothing) {
  const std::string t256(256, 'n');
  const std::string p300(300, 'p');
  auto body = Write([&](ExcelFile& x) {
    EXPECT_EQ(x.SetFont(t256, 10, 0), st::kOverflow);
    EXPECT_EQ(x.SetFont("V", 1639, 0), st::kOverflow);
    EXPECT_EQ(x.SetFont("V", -1639, 0), st::kOverflow);
    EXPECT_EQ(x.SetFont("V", 10, 256), st::kOverflow);
    EXPECT_EQ(x.SetHeader(t256), st::kOverflow);
    EXPECT_EQ(x.SetFooter(t256), st::kOverflow);
    EXPECT_EQ(x.SetColumnWidth(1, 3, 128), st::kOverflow);
    EXPECT_EQ(x.SetColumnWidth(0, 3, 1), st::kOverflow);
    EXPECT_EQ(x.SetColumnWidth(1, 0, 1), st::kOverflow);
    EXPECT_EQ(x.SetColumnWidth(1, 256, 1), st::kOverflow);
    EXPECT_EQ(x.SetDefaultRowHeight(1639), st::kOverflow);
    EXPECT_EQ(x.SetRowHeight(1, -1639), st::kOverflow);
    EXPECT_EQ(x.SetMargin(32768, 1), st::kOverflow);
    EXPECT_EQ(x.SetFilePassword(std::string(32768, 'p')), st::kOverflow);
    EXPECT_EQ(x.SetFilePassword(p300), 0);  // no 255 limit
  });
  EXPECT_EQ(Hex(body), Hex(Bytes("2F 00 2C 01 '" + p300 + "'")));
}

TEST(ExcelFileMki, LowByteFirst) {
  EXPECT_EQ(ExcelFile::MKI(0x1234), std::string("\x34\x12", 2));
  EXPECT_EQ(ExcelFile::MKI(-2), std::string("\xFE\xFF", 2));
}

TEST(ExcelFileStates, NewOpenClosed) {
  TempDir dir;
  const fs::path p = dir / "s.xls";
  ExcelFile x(1252);
  EXPECT_EQ(x.state(), ExcelFile::State::New);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "a", 0), st::kBadFileNumber);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, std::string(256, 'a'), 0), st::kOverflow);
  EXPECT_EQ(x.WriteValue(3, 0, 0, 0, 1, 1, "a", 0), 0);
  EXPECT_EQ(x.SetFont("V", 10, 0), st::kBadFileNumber);
  EXPECT_EQ(x.WriteDefaultFormats(), st::kBadFileNumber);
  x.PrintGridLines(true);  // reports nothing, writes nothing
  EXPECT_EQ(x.InsertHorizPageBreak(4), 0);
  EXPECT_EQ(x.CloseFile(), 0);
  EXPECT_FALSE(fs::exists(p));

  ASSERT_EQ(x.CreateFile(p), 0);  // empties the page-break list
  EXPECT_EQ(x.state(), ExcelFile::State::Open);
  EXPECT_EQ(x.CloseFile(), 0);
  EXPECT_EQ(fs::file_size(p), 400u);
  EXPECT_EQ(x.state(), ExcelFile::State::Closed);
  EXPECT_EQ(x.CloseFile(), st::kBadFileNumber);
  EXPECT_EQ(x.SetHeader("h"), st::kBadFileNumber);
  EXPECT_EQ(x.WriteValue(1, 0, 0, 0, 1, 1, 1.0, 0), st::kBadFileNumber);
  x.ProtectSpreadsheet(true);
  EXPECT_EQ(x.InsertHorizPageBreak(2), 0);  // collected even when closed
  EXPECT_EQ(fs::file_size(p), 400u);

  // A new file starts afresh: no page breaks, XF records again.
  ASSERT_EQ(x.CreateFile(p), 0);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "a", 0), 0);
  EXPECT_EQ(x.CloseFile(), 0);
  EXPECT_EQ(fs::file_size(p), 400u + 8 + 13);
}

TEST(ExcelFileOutput, ReplacesAnExistingFileOnlyWhenFinished) {
  TempDir dir;
  const fs::path p = dir / "old.xls";
  testsupport::WriteFile(p, std::string(10000, 'z'));
  ExcelFile x(1252);
  ASSERT_EQ(x.CreateFile(p), 0);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "a", 0), 0);
  EXPECT_EQ(fs::file_size(p), 10000u);  // untouched while the new one is written
  EXPECT_EQ(x.CloseFile(), 0);
  EXPECT_EQ(fs::file_size(p), 400u + 8 + 13);
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir.path())) entries += e.exists();
  EXPECT_EQ(entries, 1);  // no temporary file left
}

TEST(ExcelFileOutput, UnfinishedFilesLeaveNothingBehind) {
  TempDir dir;
  {
    ExcelFile x(1252);
    ASSERT_EQ(x.CreateFile(dir / "dropped.xls"), 0);
    EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "a", 0), 0);
    // Starting another file drops the first one.
    ASSERT_EQ(x.CreateFile(dir / "second.xls"), 0);
    EXPECT_EQ(x.CloseFile(), 0);
    ASSERT_EQ(x.CreateFile(dir / "third.xls"), 0);
  }  // dropped while open
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"second.xls"});
}

TEST(ExcelFileOutput, FileSystemFailures) {
  TempDir dir;
  ExcelFile x(1252);
  EXPECT_EQ(x.CreateFile(dir / "no-such-folder" / "a.xls"), st::kPathNotFound);
  EXPECT_EQ(x.WriteValue(2, 0, 0, 0, 1, 1, "a", 0), st::kBadFileNumber);
  EXPECT_EQ(x.CloseFile(), st::kBadFileNumber);

  fs::create_directory(dir / "folder.xls");
  ExcelFile y(1252);
  EXPECT_EQ(y.CreateFile(dir / "folder.xls"), st::kPathFileAccess);
  EXPECT_EQ(y.CloseFile(), st::kBadFileNumber);
  EXPECT_TRUE(fs::is_directory(dir / "folder.xls"));
  EXPECT_EQ(y.CreateFile(""), st::kPathNotFound);
}

TEST(ExcelFileOutput, WriteFailureSurfacesAndKeepsTheOldFile) {
  TempDir dir;
  const fs::path p = dir / "big.xls";
  testsupport::WriteFile(p, "old");
  // A file size limit makes write() fail with EFBIG, as a full disk would.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  ExcelFile x(1252);
  ASSERT_EQ(x.CreateFile(p), 0);
  excel::Status first = 0;
  int row = 1;
  for (; row <= 20000 && first == 0; ++row)
    first = x.WriteValue(2, 0, 0, 0, row, 1, std::string(200, 'w'), 0);
  excel::Status later = x.WriteValue(2, 0, 0, 0, row, 1, "after", 0);
  excel::Status close = x.CloseFile();

  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(first, st::kDiskFull);
  EXPECT_EQ(later, st::kDiskFull);
  EXPECT_EQ(close, st::kDiskFull);
  EXPECT_EQ(ReadFile(p), "old");
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir.path())) entries += e.exists();
  EXPECT_EQ(entries, 1);
}

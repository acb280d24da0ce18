// Books exported by addrivo-convert with the real reader and writer, read
// back by xlrd and Gnumeric: every value, the row count, the bold heading
// and the code page the file states.
#include <gtest/gtest.h>


#include "ExportFakes.h"
#include "export/SpreadsheetExport.h"
#include "RoundTrip.h"

namespace {

using namespace roundtrip;
namespace tw = testsupport::wab;

TEST(SpreadsheetRoundTrip, GeneratedBookReadsBackInXlrdAndGnumeric) {
  testsupport::TempDir dir;
  testsupport::WriteGeneratedBook(dir / "Generated.WAB", 150);
  const ToolRun run = Convert(dir / "Generated.WAB", dir.path());
  ASSERT_EQ(run.rc, 0) << run.err;
  const fs::path xls = dir / "generated.xls";
  // The generated names go beyond code page 1252: the message says so, and
  // standard error says only that (no progress when it is no terminal).
  const std::string lost =
      "20 values had characters that code page 1252 cannot hold; they were written as \"?\". The Unicode "
      "formats keep every character.\n";
  // What the designed columns leave out is counted too.
  const std::string leftOut =
      "The workbook's columns left out 150 further e-mail addresses, 30 other values and 1 group of the book; "
      "the .xlsx and vCard exports keep them.\n";
  EXPECT_EQ(run.out, "150 Contacts Successfully Saved to \nFileName: " + xls.string() + "\n" + leftOut + lost);
  EXPECT_EQ(run.err, "addrivo-convert: " + leftOut + "addrivo-convert: " + lost);

  const Table expected = ExpectedSheet(GeneratedValues(150), 1252);
  const Dump x = ReadBack("xlrd", xls);
  EXPECT_EQ(x.facts.at("codepage"), "1252");
  EXPECT_EQ(x.facts.at("kinds"), "text") << "every cell is text";
  ExpectSheet(x, expected, "xlrd");
  ExpectSheet(ReadBack("gnumeric", xls), expected, "gnumeric");
}

TEST(SpreadsheetRoundTrip, RealBookKeepsItsJapaneseTextUnderAJapaneseLocale) {
  testsupport::TempDir dir;
  const fs::path book = dir / "HiraokaTaro.WAB";
  fs::copy_file(testsupport::TestDataPath("wab/HiraokaTaro.WAB"), book);
  const ToolRun run = Convert(book, dir.path(), "ja_JP.UTF-8");
  ASSERT_EQ(run.rc, 0) << run.err;
  const fs::path xls = dir / "hiraokataro.xls";
  // The real book's further addresses, fields and groups have no column.
  EXPECT_EQ(run.out, "4 Contacts Successfully Saved to \nFileName: " + xls.string() +
                         "\nThe workbook's columns left out 3 further e-mail addresses, 26 other values and 2 "
                         "groups of the book; the .xlsx and vCard exports keep them.\n");

  std::array<std::string, 20> taro{"太郎", "", "枚岡", "test@example.com", "会社名", "勤務：番地",
                                   "勤務：市区町村", "勤務：郵便", "勤務：都道府県", "勤務：国",
                                   "勤務：オフィス", "http://example.org/corp", "勤務：部署", "勤務：TEL",
                                   "勤務：FAX", "番地", "TEL", "FAX", "PHONE", "追加情報\r\nその他\r\nメモ"};
  std::vector<std::array<std::string, 20>> contacts{taro, {"①", "", "フォルダ"}, {"3", "", "Folder"},
                                                    {"Ⅱ", "", "フォルダ"}};
  Table expected = ExpectedSheet(contacts, 932);
  expected[1][17] = "国";  // Personal Country: the home country, no longer the business one
  EXPECT_EQ(expected[1][0], "太郎") << "nothing lost in 932";
  const Dump x = ReadBack("xlrd", xls);
  EXPECT_EQ(x.facts.at("codepage"), "932");
  ExpectSheet(x, expected, "xlrd");
  // The book itself is untouched.
  EXPECT_EQ(testsupport::ReadFile(book), testsupport::ReadFile(testsupport::TestDataPath("wab/HiraokaTaro.WAB")));
}

TEST(SpreadsheetRoundTrip, CyrillicUnderARussianLocaleWithALongValueShortened) {
  testsupport::TempDir dir;
  std::string longComment;
  for (int i = 0; i < 300; ++i) longComment += i % 10 == 9 ? " " : "Ж";
  tw::Book book;
  book.records.push_back(tw::Contact(3, {tw::Unicode(tw::kGivenName, "Пётр"), tw::Unicode(tw::kSurname, "Ёлкин"),
                                         tw::Unicode(tw::kCity, "Санкт-Петербург"),
                                         tw::Unicode(tw::kCountry, "Россия"),
                                         tw::Unicode(tw::kComment, longComment)}));
  book.records.push_back(tw::Contact(4, {tw::Unicode(tw::kGivenName, "Anna"),
                                         tw::Unicode(tw::kCompanyName, "Цена 5 € — «да»")}));
  tw::WriteBookFile(dir / "Книга.wab", book);

  const ToolRun run = Convert(dir / "Книга.wab", dir.path(), "ru_RU.UTF-8");
  ASSERT_EQ(run.rc, 0) << run.err;
  const fs::path xls = dir / "книга.xls";
  EXPECT_EQ(run.out, "2 Contacts Successfully Saved to \nFileName: " + xls.string() +
                         "\n1 value was longer than a cell holds (255 bytes) and was shortened.\n");

  std::array<std::string, 20> petr{}, anna{};
  petr[0] = "Пётр", petr[2] = "Ёлкин", petr[6] = "Санкт-Петербург", petr[9] = "Россия", petr[19] = longComment;
  anna[0] = "Anna", anna[4] = "Цена 5 € — «да»";
  const Table expected = ExpectedSheet({petr, anna}, 1251);
  EXPECT_EQ(expected[1][20].size(), 230u * 2 + 25) << "255 characters of 1251: 230 letters, 25 blanks";
  EXPECT_EQ(expected[2][4], "Цена 5 € — «да»") << "all of it is in 1251";
  const Dump x = ReadBack("xlrd", xls);
  EXPECT_EQ(x.facts.at("codepage"), "1251");
  ExpectSheet(x, expected, "xlrd");
  // Gnumeric takes the text of BIFF 2 files for 1252 whatever the file
  // states; its shape, fonts and the ASCII text are still checked.
  const Dump g = ReadBack("gnumeric", xls);
  ExpectNoRecordDropped(g);
  ExpectShape(g, 3, "gnumeric");
  ASSERT_EQ(g.rows.size(), 3u);
  EXPECT_EQ(g.rows[0], RowLine(expected[0]));
  EXPECT_EQ(g.rows[2].substr(0, 5), "Anna\t");
}

TEST(SpreadsheetRoundTrip, FolderThatCannotBeWrittenLeavesNothing) {
  testsupport::TempDir dir;
  testsupport::WriteGeneratedBook(dir / "b.wab", 3);
  testsupport::WriteFile(dir / "plain", "not a folder");
  const auto before = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
  // Each named by its real cause.
  for (const auto& [out, cause] :
       {std::pair{dir / "plain" / "sub", (dir / "plain" / "sub").string() + " is not a folder: part of its path is a file"},
        std::pair{dir / "missing", "the folder " + (dir / "missing").string() + " does not exist"}}) {
    const ToolRun run = Convert(dir / "b.wab", out);
    EXPECT_EQ(run.rc, 1) << out;
    EXPECT_EQ(run.out, "") << "no success message";
    EXPECT_EQ(run.err, "addrivo-convert: " + cause + "\n");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), before);
}

TEST(SpreadsheetRoundTrip, ReaderFailingMidWayLeavesTheEarlierFileAsItWas) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "x.xls", "an earlier export");
  auto reader = std::make_shared<exporttest::RecordingReader>();
  reader->contacts.resize(5);
  reader->failSelectAt = 3;
  automation::ScopedRegistration reg(automation::kAddressBookReaderProgId, automation::SameObject(reader));
  const auto result = exports::ExportToSpreadsheet("/b/x.wab", dir.path().string() + "/");
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(testsupport::ReadFile(dir / "x.xls"), "an earlier export");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no partial file beside it";

  // Without an earlier file nothing at all is left.
  fs::remove(dir / "x.xls");
  EXPECT_FALSE(exports::ExportToSpreadsheet("/b/x.wab", dir.path().string() + "/").completed);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(SpreadsheetRoundTrip, ExportingTwiceReplacesTheEarlierFileWhenForced) {
  testsupport::TempDir dir;
  testsupport::WriteGeneratedBook(dir / "b.wab", 40);
  ASSERT_EQ(Convert(dir / "b.wab", dir.path()).rc, 0);
  testsupport::WriteGeneratedBook(dir / "b.wab", 2);
  ASSERT_EQ(Convert(dir / "b.wab", dir.path()).rc, 1);  // not without --force
  ASSERT_EQ(Convert(dir / "b.wab", dir.path(), "C.UTF-8", "--force ").rc, 0);
  ExpectSheet(ReadBack("xlrd", dir / "b.xls"), ExpectedSheet(GeneratedValues(2), 1252), "xlrd");
}

}  // namespace

#include <gtest/gtest.h>

#include "ExportFakes.h"
#include "export/PathNames.h"
#include "export/OutlookExport.h"
#include "export/SpreadsheetExport.h"
#include "platform/codepage/CodePage.h"

using namespace exporttest;
using automation::Registry;
using automation::ScopedRegistration;
using automation::SameObject;

namespace {

class RecordingProgress : public exports::ExportProgress {
 public:
  std::vector<std::string> prepared;
  std::vector<std::int32_t> positions;
  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t wholeStep, double step) override {
    prepared.push_back(std::to_string(lower) + "," + std::to_string(upper) + "," + std::to_string(wholeStep) +
                       "," + std::to_string(step));
  }
  void SetPosition(std::int32_t position) override { positions.push_back(position); }
};

Contact FullContact(const std::string& tag) {
  Contact c;
  for (auto key : automation::kReaderFieldKeys) c[std::string(key)] = tag + std::string(key);
  c["HomeCountry"] = tag + "HomeCountry";  // the real reader's key beyond the designed 20
  return c;
}

// ------------------------------------------------------------------ names

// One row a book path, with the workbook's name and the store's (without
// the date) made from it. The rows after the first group are faults the
// names once had.
struct NameCase {
  const char* book;
  const char* workbook;
  const char* storeStem;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.book << '"'; }

class OutputNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputNames, FromTheBooksFileNameOnly) {
  const NameCase& c = GetParam();
  using namespace std::chrono;
  const auto when = sys_days{January / 2 / 2027} + 9h;
  EXPECT_EQ(exports::SpreadsheetFileName(c.book), c.workbook);
  const std::string store = exports::OutlookOutputPath(c.book, "/o/", when);
  const std::string date = store.substr(store.size() - 24);
  EXPECT_EQ(store, "/o/" + std::string(c.storeStem) + date);
}

INSTANTIATE_TEST_SUITE_P(Books, OutputNames, ::testing::Values(
    NameCase{"/mail/Family.WAB", "family.xls", "family"},
    NameCase{"D:\\X\\CONTACTS.WAB", "contacts.xls", "contacts"},
    NameCase{"C:\\A.wab.old\\Book.wab", "book.xls", "book"},
    NameCase{"/home/u/My Book.Wab", "my book.xls", "my book"},
    NameCase{"/книги/КНИГА.WAB", "книга.xls", "книга"},
    NameCase{"/ÄRZTE.wab", "ärzte.xls", "ärzte"},
    // Never the book itself: another extension stays before ".xls".
    NameCase{"/home/u/book.dat", "book.dat.xls", "book"},
    NameCase{"/home/u/book.xls", "book.xls.xls", "book"},
    NameCase{"/x.wab/book", "book.xls", "book"},
    // Only the file name's last ".wab" is its extension.
    NameCase{"/a/x.wabash.wab", "x.wabash.xls", "x.wabash"},
    NameCase{"/a.wab.old/x.wab.wab", "x.wab.xls", "x.wab"},
    NameCase{"/m/folder.wab.d/ab", "ab.xls", "ab"},
    // A name without one keeps its stem; none is never hidden or empty.
    NameCase{"/m/BOOK", "book.xls", "book"},
    NameCase{"/m/.wab", "contacts.xls", "contacts"},
    NameCase{"/m/..hidden.wab", "hidden.xls", "hidden"},
    NameCase{"/", "contacts.xls", "contacts"}));

TEST(GetFileName, KeepsOnlyTheLastComponent) {
  EXPECT_EQ(exports::GetFileName("/a/b/c.xls"), "c.xls");
  EXPECT_EQ(exports::GetFileName("C:\\Out\\family.xls"), "family.xls");
  EXPECT_EQ(exports::GetFileName("/mixed\\dir/x\\y.xls"), "y.xls");
  EXPECT_EQ(exports::GetFileName("bare name.v1.xls"), "bare name.v1.xls");
  EXPECT_EQ(exports::GetFileName("/ends/with/"), "");
  EXPECT_EQ(exports::GetFileName(""), "");
  EXPECT_EQ(exports::WithTrailingSeparator("/out"), "/out/");
  EXPECT_EQ(exports::WithTrailingSeparator("/"), "/");
  EXPECT_EQ(exports::WithTrailingSeparator("/out/"), "/out/");
}

TEST(ToLowerUtf8, LeavesBytesThatAreNotUtf8Alone) {
  EXPECT_EQ(exports::ToLowerUtf8("AB\xC4Z\xFF"), "ab\xC4z\xFF");
  EXPECT_EQ(exports::ToLowerUtf8("ΣΟΦΊΑ"), "σοφία");
}

// ------------------------------------------------------------- the export

class SpreadsheetExport : public ::testing::Test {
 protected:
  Log log;
  std::shared_ptr<RecordingReader> reader = std::make_shared<RecordingReader>(&log);
  ScopedRegistration registration{automation::kAddressBookReaderProgId, SameObject(reader)};
  RecordingWriter writer{&log};
};

TEST_F(SpreadsheetExport, CallsReaderAndWriterInThisExactOrder) {
  reader->contacts = {FullContact("a"), Contact{{"Name", " Ann "}, {"Country", "NZ"}}};
  const auto result = exports::ExportToSpreadsheet("  /books/Family.WAB ", "/out/", writer);
  ASSERT_TRUE(result.completed) << result.message;

  Log expected = {
      // The book is the file named, blanks and all.
      "Open(  /books/Family.WAB )",
      "GetCount",
      // Blanks around the path are no part of the file's name.
      "CreateFile(/out/family.xls)",
      "SetFont(Verdana,10,0)",
      "SetFont(Verdana,11,1)",
      "SetFont(Verdana,10,5)",
      "SetFont(Courier,16,3)",
      "SetHeader(BIFF 2.1 API)",
  };
  const char* headings[] = {"First Name", "Middle Name", "Last Name", "Email", "Company", "Location",
                            "Website", "Department", "Business Street Address", "Business City",
                            "Business Zip/Postal Code", "Business State", "Business Country",
                            "Business Phone Number", "Business FAX", "Mobile Phone",
                            "Personal Street Address", "Personal Country", "Personal Phone Number",
                            "Personal FAX", "Comments"};
  for (int c = 1; c <= 21; ++c)
    expected.push_back("WriteValue(2,64,1,0,1," + std::to_string(c) + "," + headings[c - 1] + ",0)");
  // Reader order, each value written as soon as it is read.
  const std::pair<const char*, int> reads[] = {
      {"Name", 1},         {"MiddleName", 2},   {"Surname", 3},       {"HomeEmail", 4},
      {"CompanyName", 5},  {"BusinessAddress", 9}, {"City", 10},     {"Postal", 11},
      {"Province", 12},    {"Country", 13},     {"OfficeLocation", 6}, {"CompanyURL", 7},
      {"Department", 8},   {"BusinessPhone", 14}, {"BusinessFax", 15}, {"CellPhone", 16},
      {"HomeAddress", 17}, {"HomeCountry", 18}, {"HomePhone", 19},    {"Fax", 20},
      {"Comment", 21}};
  for (int i = 0; i < 2; ++i) {
    expected.push_back("Select(" + std::to_string(i) + ")");
    for (auto [key, column] : reads) {
      std::string value = i == 0 ? std::string("a") + key : "";
      if (i == 1 && std::string(key) == "Name") value = " Ann ";
      if (i == 1 && std::string(key) == "Country") value = "NZ";
      expected.push_back(std::string("GetValue(") + key + ")");
      expected.push_back("WriteValue(2,0,1,0," + std::to_string(i + 2) + "," + std::to_string(column) + "," +
                         value + ",0)");
    }
  }
  expected.push_back("CloseFile");
  EXPECT_EQ(log, expected);
  EXPECT_EQ(result.outputPath, "/out/family.xls");
  EXPECT_EQ(result.contacts, 2);
  EXPECT_EQ(result.message, "2 Contacts Successfully Saved to \r\nFileName: /out/family.xls");
}

TEST_F(SpreadsheetExport, EmptyBookGivesTheHeadingRowAndZeroContacts) {
  RecordingProgress progress;
  const auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer, &progress);
  ASSERT_TRUE(result.completed);
  EXPECT_EQ(writer.cells, 21u);
  EXPECT_EQ(log.back(), "CloseFile");
  EXPECT_EQ(result.message, "0 Contacts Successfully Saved to \r\nFileName: /o/x.xls");
  EXPECT_EQ(progress.prepared, (std::vector<std::string>{"0,0,0,0.000000"}));
  EXPECT_TRUE(progress.positions.empty());
}

TEST_F(SpreadsheetExport, AllEmptyContactStillGetsTwentyOneCells) {
  reader->contacts = {Contact{}};
  ASSERT_TRUE(exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer).completed);
  EXPECT_EQ(writer.cells, 42u);
  for (int c = 1; c <= 21; ++c) EXPECT_EQ(writer.values.at({2, c}), "") << c;
}

TEST(ExportProgressProtocol, PreparesWithHundredthsAndCountsEveryContact) {
  for (auto [n, expectedPrepare] : std::vector<std::pair<int, std::string>>{
           {250, "0,250,2,2.500000"}, {350, "0,350,4,3.500000"}, {50, "0,50,0,0.500000"}, {150, "0,150,2,1.500000"}}) {
    auto reader = std::make_shared<RecordingReader>();
    reader->contacts.resize(n);
    ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));
    RecordingWriter writer;
    RecordingProgress progress;
    ASSERT_TRUE(exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer, &progress).completed);
    EXPECT_EQ(progress.prepared, std::vector<std::string>{expectedPrepare});
    ASSERT_EQ(progress.positions.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) ASSERT_EQ(progress.positions[i], i + 1);
  }
}

// ------------------------------------------------------------ long values

TEST_F(SpreadsheetExport, ShortensLongValuesToWholeCharactersAndSaysSo) {
  reader->contacts = {Contact{{"Comment", std::string(300, 'x')}, {"Name", std::string(255, 'n')}},
                      Contact{{"Comment", std::string(200, 'y')}}};
  const auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
  ASSERT_TRUE(result.completed);
  EXPECT_EQ(writer.values.at({2, 21}), std::string(255, 'x'));
  EXPECT_EQ(writer.values.at({2, 1}), std::string(255, 'n'));  // exactly at the limit: whole
  EXPECT_EQ(writer.values.at({3, 21}), std::string(200, 'y'));
  EXPECT_EQ(result.shortenedCells, 1);
  EXPECT_EQ(result.message,
            "2 Contacts Successfully Saved to \r\nFileName: /o/x.xls\r\n"
            "1 value was longer than a cell holds (255 bytes) and was shortened.");
}

TEST(SpreadsheetExportCodePages, LimitCountsBytesOfTheWritersCodePage) {
  // 200 Cyrillic letters: 400 bytes of UTF-8, 200 bytes in 1251: whole.
  // 300 of them: cut to 255 letters. In 932 a kana takes 2 bytes: 127 fit.
  std::string cyr200, cyr300, cyr255, kana200, kana127;
  for (int i = 0; i < 300; ++i) (i < 200 ? cyr200 : cyr300) += "Ж";
  cyr300 = cyr200 + cyr300;
  for (int i = 0; i < 255; ++i) cyr255 += "Ж";
  for (int i = 0; i < 200; ++i) kana200 += "カ";
  for (int i = 0; i < 127; ++i) kana127 += "カ";

  auto reader = std::make_shared<RecordingReader>();
  reader->contacts = {Contact{{"Name", cyr200}, {"Surname", cyr300}, {"Comment", kana200}}};
  ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));

  RecordingWriter cp1251(nullptr, 1251);
  auto r1 = exports::ExportToSpreadsheet("/b/x.wab", "/o/", cp1251);
  ASSERT_TRUE(r1.completed);
  EXPECT_EQ(cp1251.values.at({2, 1}), cyr200);
  EXPECT_EQ(cp1251.values.at({2, 3}), cyr255);
  EXPECT_EQ(cp1251.values.at({2, 21}), kana200);  // 200 "?" in 1251: fits
  EXPECT_EQ(r1.shortenedCells, 1);

  RecordingWriter cp932(nullptr, 932);
  auto r2 = exports::ExportToSpreadsheet("/b/x.wab", "/o/", cp932);
  ASSERT_TRUE(r2.completed);
  EXPECT_EQ(cp932.values.at({2, 21}), kana127);  // 254 bytes: no half character
  EXPECT_EQ(codepage::FromUtf8(cp932.values.at({2, 21}), 932).bytes.size(), 254u);
}

// ------------------------------------------------------------- big books

TEST(SpreadsheetExportLimits, NotesRowsPastWhatEveryReaderShows) {
  for (int n : {16383, 16384}) {
    auto reader = std::make_shared<RecordingReader>();
    reader->countOverride = n;
    ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));
    RecordingWriter writer;
    writer.keepValues = false;
    auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
    ASSERT_TRUE(result.completed);
    const bool noted = result.message.find("show only the first 16,384") != std::string::npos;
    EXPECT_EQ(noted, n == 16384) << n;
    if (noted) {
      EXPECT_NE(result.message.find("\r\nThe sheet has 16,385 rows: some programs (Gnumeric, xlrd, old Excel)"),
                std::string::npos);
    }
  }
}

TEST(SpreadsheetExportLimits, FillsTheWholeSheetWithoutOverflowingTheCounter) {
  auto reader = std::make_shared<RecordingReader>();
  reader->countOverride = exports::kMaxSpreadsheetContacts;
  ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));
  RecordingWriter writer;
  writer.keepValues = false;
  RecordingProgress progress;
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer, &progress);
  ASSERT_TRUE(result.completed) << result.message;
  EXPECT_EQ(result.contacts, 65535);
  EXPECT_EQ(writer.cells, 21u * 65536u);
  ASSERT_EQ(progress.positions.size(), 65535u);
  EXPECT_EQ(progress.positions[32766], 32767);
  EXPECT_EQ(progress.positions[32767], 32768);
  EXPECT_EQ(progress.positions.back(), 65535);
  EXPECT_EQ(progress.prepared, std::vector<std::string>{"0,65535,655,655.350000"});
}

TEST_F(SpreadsheetExport, RefusesABookLargerThanTheSheetBeforeWritingAnything) {
  reader->countOverride = 65536;
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(log, (Log{"Open(/b/x.wab)", "GetCount"}));
  EXPECT_EQ(result.message,
            "The contacts could not be saved to /o/x.xls.\r\nThe address book holds 65,536 contacts; a sheet "
            "holds at most 65,535 below its heading row. Nothing was written.");
}

// -------------------------------------------------------------- failures

TEST_F(SpreadsheetExport, ReaderThatCannotOpenLeavesNoFile) {
  reader->failOpen = true;
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(log, (Log{"Open(/b/x.wab)"}));
  EXPECT_EQ(result.message,
            "The contacts could not be saved to /o/x.xls.\r\nThe address book /b/x.wab could not be read: "
            "cannot open /b/x.wab");
}

TEST(SpreadsheetExportFailures, MissingReaderComponentIsReported) {
  Registry::Instance().Unregister(automation::kAddressBookReaderProgId);
  RecordingWriter writer;
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(writer.calls, 0u);
  EXPECT_NE(result.message.find("The address book /b/x.wab could not be read: "), std::string::npos);
}

TEST_F(SpreadsheetExport, ReaderFailingMidWayAbandonsTheFile) {
  reader->contacts = {FullContact("a"), FullContact("b"), FullContact("c")};
  reader->failSelectAt = 1;
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
  EXPECT_FALSE(result.completed);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Select(1)");
  EXPECT_EQ(log.back(), "Abandon");
  EXPECT_EQ(std::count(log.begin(), log.end(), "CloseFile"), 0);
  EXPECT_EQ(result.message,
            "The contacts could not be saved to /o/x.xls.\r\nThe address book /b/x.wab could not be read: "
            "record 1 is damaged");
}

TEST(SpreadsheetExportFailures, EveryWriterStatusStopsTheExport) {
  // Calls: CreateFile 0, SetFont 1-4, SetHeader 5, headings 6-26, first
  // contact 27-47, second 48-68, CloseFile 69.
  for (std::size_t failing : {0u, 1u, 4u, 5u, 6u, 26u, 27u, 50u, 69u}) {
    Log log;
    auto reader = std::make_shared<RecordingReader>();
    reader->contacts = {FullContact("a"), FullContact("b")};
    ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));
    RecordingWriter writer(&log);
    writer.failCall = failing;
    writer.failStatus = failing == 0 ? exports::kStatusPathNotFound : exports::kStatusDiskFull;
    auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", writer);
    EXPECT_FALSE(result.completed) << failing;
    EXPECT_EQ(writer.calls, failing + (failing == 0 ? 1 : 2)) << "stops at once, then abandons: " << failing;
    if (failing == 0) {
      EXPECT_EQ(log.back(), "CreateFile(/o/x.xls)") << "nothing to abandon";
      EXPECT_EQ(result.message,
                "The contacts could not be saved to /o/x.xls.\r\nWriting the file failed: the folder does not exist.");
    } else {
      EXPECT_EQ(log.back(), "Abandon") << failing;
      EXPECT_EQ(result.message,
                "The contacts could not be saved to /o/x.xls.\r\nWriting the file failed: the disk is full.");
    }
  }
}

TEST(SpreadsheetExportFailures, StatusTextsNameTheCause) {
  EXPECT_EQ(exports::StatusText(6), "a value does not fit its field in the file");
  EXPECT_EQ(exports::StatusText(52), "the file is not open");
  EXPECT_EQ(exports::StatusText(70), "permission denied");
  EXPECT_EQ(exports::StatusText(77), "the folder is on a file system mounted read-only");
  EXPECT_EQ(exports::StatusText(999), "file system error 999");
}

TEST(SpreadsheetExportFailures, NoWriterInTheBuildIsAFailureNotACrash) {
  auto reader = std::make_shared<RecordingReader>();
  ScopedRegistration reg(automation::kAddressBookReaderProgId, SameObject(reader));
  auto result = exports::ExportToSpreadsheet("/b/x.wab", "/o/", nullptr, [] { return nullptr; });
  EXPECT_FALSE(result.completed);
}

}  // namespace

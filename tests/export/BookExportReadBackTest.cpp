// addrivo-convert vcard | csv-outlook | csv-google | xlsx on the real book
// and on a generated one, read back by programs nobody here wrote: vobject,
// abook, Python's csv, Gnumeric's ssconvert, openpyxl, SheetJS (LibreOffice
// under the slow label). The book as `list --all` prints it is the reference.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

std::string Tool() { return std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert"; }
std::string Checker() { return std::string(ADDRIVO_SOURCE_DIR) + "/tests/export/check_book_export.py"; }

struct Format {
  const char* name;
  const char* verb;      // with its options
  const char* checker;   // mode of check_book_export.py
  const char* file;      // output name for a book named hiraokataro.wab
};
void PrintTo(const Format& f, std::ostream* os) { *os << f.name; }

const Format kFormats[] = {
    {"VCard3", "vcard", "vcard3", "hiraokataro.vcf"},
    {"VCard4", "vcard --version 4.0", "vcard4", "hiraokataro.vcf"},
    {"VCard3Unfolded", "vcard --no-fold", "vcard3", "hiraokataro.vcf"},
    {"CsvOutlook", "csv-outlook", "csv-outlook", "hiraokataro.csv"},
    {"CsvGoogle", "csv-google", "csv-google", "hiraokataro.csv"},
    {"Xlsx", "xlsx", "xlsx", "hiraokataro.xlsx"},
    {"XlsxSheetJs", "xlsx", "xlsx-sheetjs", "hiraokataro.xlsx"},
};

class RealBook : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    source_ = testsupport::TestDataPath("wab/HiraokaTaro.WAB");
    if (!std::filesystem::exists(source_)) GTEST_SKIP() << "no sample book at " << source_;
    book_ = dir_ / "HiraokaTaro.WAB";
    std::filesystem::copy_file(source_, book_);
    ASSERT_EQ(RunCommand(Tool() + " list --all " + ShellQuote(book_.string()) + " >" +
                         ShellQuote((dir_ / "book.jsonl").string()) + " 2>/dev/null"),
              0);
  }
  int Export(const std::string& extra = "", std::string* out = nullptr) {
    return RunCommand(Tool() + " " + GetParam().verb + extra + " " + ShellQuote(book_.string()) + " " +
                          ShellQuote(dir_.path().string()) + " 2>&1",
                      out);
  }
  std::filesystem::path source_, book_;
  testsupport::TempDir dir_;
};

TEST_P(RealBook, ReadsBackWithEveryFieldEqualToTheBook) {
  std::string out;
  ASSERT_EQ(Export("", &out), 0) << out;
  EXPECT_NE(out.find("4 Contacts Successfully Saved to"), std::string::npos) << out;
  const auto file = dir_ / GetParam().file;
  std::string problems;
  EXPECT_EQ(RunCommand("/usr/bin/python3 " + ShellQuote(Checker()) + " " + GetParam().checker + " " +
                           ShellQuote((dir_ / "book.jsonl").string()) + " " + ShellQuote(file.string()) + " 2>&1",
                       &problems),
            0)
      << problems;
  // The book's file is never touched.
  EXPECT_EQ(testsupport::ReadFile(book_), testsupport::ReadFile(source_));
}

TEST_P(RealBook, SecondRunRefusesWithoutForceAndReplacesWithIt) {
  ASSERT_EQ(Export(), 0);
  const auto file = dir_ / GetParam().file;
  testsupport::WriteFile(file, "mine");
  std::string out;
  EXPECT_EQ(Export("", &out), 1);
  EXPECT_NE(out.find("already exists"), std::string::npos) << out;
  EXPECT_EQ(testsupport::ReadFile(file), "mine");
  EXPECT_EQ(Export(" --force", &out), 0) << out;
  EXPECT_NE(testsupport::ReadFile(file), "mine");
  // Nothing but the book, its listing and the one output.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, RealBook, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

class RealBookOutside : public RealBook {};

// Programs people import with: abook takes the 3.0 file with names and
// addresses; Gnumeric opens the CSV files and the workbook with the
// Japanese text intact.
TEST_P(RealBookOutside, OpensInAbookAndGnumeric) {
  ASSERT_EQ(Export(), 0);
  const auto file = dir_ / GetParam().file;
  std::string text;
  const std::string verb = GetParam().verb;
  if (verb == "vcard") {
    ASSERT_EQ(RunCommand("abook --convert --informat vcard --infile " + ShellQuote(file.string()) +
                             " --outformat abook --outfile - 2>&1",
                         &text),
              0)
        << text;
    for (const char* expected : {"name=枚岡 太郎", "test@example.com,test@example.org,test@example.net,im@example.org",
                                 "name=フォルダ ①", "name=Folder 3", "name=フォルダ Ⅱ"})
      EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  } else {
    const auto csv = dir_ / "gnumeric.csv";
    ASSERT_EQ(RunCommand("LC_ALL=C.UTF-8 ssconvert " + ShellQuote(file.string()) + " " + ShellQuote(csv.string()) +
                         " >/dev/null 2>&1"),
              0);
    text = testsupport::ReadFile(csv);
    for (const char* expected : {"枚岡", "勤務：市区町村", "フォルダ", "test@example.com"})
      EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    if (verb == "xlsx") {
      // Every sheet, one file each: the groups with their members.
      ASSERT_EQ(RunCommand("LC_ALL=C.UTF-8 ssconvert -S " + ShellQuote(file.string()) + " " +
                           ShellQuote((dir_ / "sheet.%s.csv").string()) + " >/dev/null 2>&1"),
                0);
      // The group's own fields beside its first row.
      const std::string groups = testsupport::ReadFile(dir_ / "sheet.Groups.csv");
      EXPECT_EQ(groups.rfind("Group,Member,\"Member's E-mail\",\"Group's Details\"\n\"<\"\"123\"\">\",\"Folder 3\",,\"", 0),
                0u)
          << groups;
      EXPECT_NE(groups.find("\n\"<\"\"123\"\">\",\"フォルダ Ⅱ\",,\n\"<\"\"123\"\">\",\"フォルダ ①\",,\nGr1,\"フォルダ ①\",,\n"),
                std::string::npos)
          << groups;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RealBookOutside,
                         ::testing::Values(kFormats[0], kFormats[3], kFormats[4], kFormats[5]),
                         [](const auto& info) { return std::string(info.param.name); });

// A generated book with many addresses, multi-line texts and CJK, through
// every format and the same checks.
TEST(GeneratedBook, EveryFormatReadsBack) {
  testsupport::TempDir dir;
  const auto book = dir / "Generated.WAB";
  testsupport::WriteGeneratedBook(book, 300);
  ASSERT_EQ(RunCommand(Tool() + " list --all " + ShellQuote(book.string()) + " >" +
                       ShellQuote((dir / "book.jsonl").string()) + " 2>/dev/null"),
            0);
  for (const Format& f : kFormats) {
    std::string out;
    ASSERT_EQ(RunCommand(Tool() + " " + f.verb + " --force " + ShellQuote(book.string()) + " " +
                             ShellQuote(dir.path().string()) + " 2>&1",
                         &out),
              0)
        << f.name << out;
    std::string file = std::string("generated") + std::filesystem::path(f.file).extension().string();
    EXPECT_EQ(RunCommand("/usr/bin/python3 " + ShellQuote(Checker()) + " " + f.checker + " " +
                             ShellQuote((dir / "book.jsonl").string()) + " " + ShellQuote((dir / file).string()) +
                             " 2>&1 | head -20",
                         &out),
              0);
    EXPECT_EQ(out, "") << f.name;
  }
}

TEST(BookVerbs, UsageErrorsAndAMissingBookLeaveNoFile) {
  testsupport::TempDir dir;
  std::string out;
  EXPECT_EQ(RunCommand(Tool() + " vcard --version 2.1 a.wab " + ShellQuote(dir.path().string()) + " 2>&1", &out), 2);
  EXPECT_NE(out.find("--version takes 3.0 or 4.0"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Tool() + " csv-google --no-fold a.wab " + ShellQuote(dir.path().string()) + " 2>&1", &out), 2);
  EXPECT_EQ(RunCommand(Tool() + " xlsx only-one.wab 2>&1", &out), 2);
  EXPECT_EQ(RunCommand(Tool() + " xlsx " + ShellQuote((dir / "Missing.WAB").string()) + " " +
                           ShellQuote(dir.path().string()) + " 2>&1",
                       &out),
            1);
  EXPECT_NE(out.find("missing.xlsx.\nThe address book"), std::string::npos) << out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}

}  // namespace

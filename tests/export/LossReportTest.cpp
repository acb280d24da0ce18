// Nothing lost in silence: the real Japanese address book through the real
// reader and writers. Under an English or C locale (code page 1252) its
// names become "?" in the .xls and the ANSI .pst, and the completion message
// says how many values lost characters; under ja_JP (code page 932) and in
// the Unicode .pst nothing is lost and no such line appears.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "export/OutlookExport.h"
#include "export/SpreadsheetExport.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"
#include "support/CutShort.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

enum class Target { Xls, PstAnsi, PstUnicode };

struct LossCase {
  const char* name;
  const char* locale;
  Target target;
  int lostInCodePage;  // 0: no line about lost characters
};
void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }

const LossCase kCases[] = {
    {"WorkbookUnderC", "C.UTF-8", Target::Xls, 1252},
    {"AnsiStoreUnderC", "C.UTF-8", Target::PstAnsi, 1252},
    {"UnicodeStoreUnderC", "C.UTF-8", Target::PstUnicode, 0},
    {"WorkbookUnderJapanese", "ja_JP.UTF-8", Target::Xls, 0},
    {"AnsiStoreUnderJapanese", "ja_JP.UTF-8", Target::PstAnsi, 0},
};

class LossReporting : public ::testing::TestWithParam<LossCase> {
 protected:
  void SetUp() override {
    wab::RegisterComponent();
    outlook::RegisterComponent();
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("LC_ALL", GetParam().locale, 1);
  }
  void TearDown() override { unsetenv("LC_ALL"); }
  testsupport::TempDir dir;
};

TEST_P(LossReporting, TheMessageCountsValuesWithLostCharacters) {
  const LossCase& c = GetParam();
  const std::string book = testsupport::TestDataPath("wab/HiraokaTaro.WAB").string();
  const std::string folder = dir.path().string() + "/";
  std::string message;
  exports::LossReport loss;
  if (c.target == Target::Xls) {
    const auto r = exports::ExportToSpreadsheet(book, folder);
    ASSERT_TRUE(r.completed) << r.message;
    message = r.message;
    loss = r.loss;
  } else {
    exports::OutlookExportRequest request;
    request.bookPath = book;
    request.outputFolder = folder;
    request.format = c.target == Target::PstAnsi ? exports::OutlookFormat::Ansi : exports::OutlookFormat::Unicode;
    const auto r = exports::RunOutlookExport(request);
    ASSERT_TRUE(r.completed) << r.cause;
    message = r.message;
    loss = r.loss;
  }
  const std::regex line("\r\n(\\d+) values had characters that code page (\\d+) cannot hold; they were written "
                        "as \"\\?\". The Unicode formats keep every character.");
  std::smatch m;
  if (c.lostInCodePage == 0) {
    EXPECT_FALSE(std::regex_search(message, m, line)) << message;
    EXPECT_EQ(loss.lostCharacterValues, 0);
    EXPECT_EQ(message.find("code page"), std::string::npos) << message;
    return;
  }
  ASSERT_TRUE(std::regex_search(message, m, line)) << message;
  EXPECT_EQ(m[2].str(), std::to_string(c.lostInCodePage));
  // Every contact of the book has a Japanese name: at least one value each.
  EXPECT_GE(std::stoi(m[1].str()), 4);
  EXPECT_EQ(std::stoll(m[1].str()), loss.lostCharacterValues);
}

INSTANTIATE_TEST_SUITE_P(RealBook, LossReporting, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A book cut short while the store is filled (its contacts decoded on a
// second thread) fails with the cause and leaves no store behind.
TEST(OutlookCutShort, FailsAndLeavesNoStore) {
  wab::RegisterComponent();
  outlook::RegisterComponent();
  testsupport::TempDir dir;
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  std::filesystem::create_directory(dir / "out");
  testsupport::WriteGeneratedBook(dir / "book.wab", 2000);
  testsupport::CutShortAtFirst cut(dir / "book.wab");
  exports::OutlookExportRequest request;
  request.bookPath = (dir / "book.wab").string();
  request.outputFolder = (dir / "out").string();
  request.format = exports::OutlookFormat::Unicode;
  request.progress = &cut;
  const auto r = exports::RunOutlookExport(request);
  EXPECT_FALSE(r.completed);
  EXPECT_NE(r.cause.find(wab::kBookCutShort), std::string::npos) << r.cause;
  EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

}  // namespace

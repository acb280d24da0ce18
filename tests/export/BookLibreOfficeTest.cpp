// The real book's .xlsx opened by LibreOffice Calc (slow: it starts a whole
// office suite), every field compared with the book's listing.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestData.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

TEST(BookLibreOffice, XlsxOpensWithEveryFieldOfTheRealBook) {
  const auto book = testsupport::TestDataPath("wab/HiraokaTaro.WAB");
  if (!std::filesystem::exists(book)) GTEST_SKIP() << "no sample book at " << book;
  testsupport::TempDir dir;
  const std::string tool = std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert";
  ASSERT_EQ(RunCommand(tool + " list --all " + ShellQuote(book.string()) + " >" +
                       ShellQuote((dir / "book.jsonl").string()) + " 2>/dev/null"),
            0);
  ASSERT_EQ(RunCommand(tool + " xlsx " + ShellQuote(book.string()) + " " + ShellQuote(dir.path().string()) +
                       " >/dev/null 2>&1"),
            0);
  std::string out;
  const int rc = RunCommand("/usr/bin/python3 " + ShellQuote(std::string(ADDRIVO_SOURCE_DIR) +
                                                             "/tests/export/check_book_export.py") +
                                " xlsx-soffice " + ShellQuote((dir / "book.jsonl").string()) + " " +
                                ShellQuote((dir / "hiraokataro.xlsx").string()) + " 2>&1",
                            &out);
  if (rc == 77) GTEST_SKIP() << out;
  EXPECT_EQ(rc, 0) << out;
}

}  // namespace

// The export-like workbooks opened by LibreOffice Calc (slow: it starts a
// whole office suite per file).
#include <gtest/gtest.h>

#include <cstdlib>

#include "excel/ExportLikeWorkbook.h"
#include "support/TestData.h"

namespace {

void RoundTrip(exceltest::Script script, const char* locale) {
  const char* saved = std::getenv("LC_ALL");
  std::string keep = saved ? saved : "";
  setenv("LC_ALL", locale, 1);
  testsupport::TempDir dir;
  std::string err = exceltest::WriteWorkbook(exceltest::ExportLikeWorkbook(script),
                                             dir / "contacts.xls", dir / "expected.json");
  if (saved) setenv("LC_ALL", keep.c_str(), 1);
  else unsetenv("LC_ALL");
  ASSERT_EQ(err, "");
  std::string out;
  int rc = exceltest::RunChecker("soffice", dir / "contacts.xls", dir / "expected.json", locale, &out);
  if (rc == 77) GTEST_SKIP() << out;
  EXPECT_EQ(rc, 0) << out;
}

TEST(ExcelLibreOffice, Western) { RoundTrip(exceltest::Script::Western, "de_DE.UTF-8"); }
TEST(ExcelLibreOffice, Cyrillic) { RoundTrip(exceltest::Script::Cyrillic, "ru_RU.UTF-8"); }
TEST(ExcelLibreOffice, Japanese) { RoundTrip(exceltest::Script::Japanese, "ja_JP.UTF-8"); }

}  // namespace

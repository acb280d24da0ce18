// Workbooks like the export's, read back by xlrd and Gnumeric under the
// locales whose code pages they are written in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "excel/ExportLikeWorkbook.h"
#include "support/TestData.h"

namespace {

struct Run {
  exceltest::Script script;
  const char* locale;
};

void PrintTo(const Run& run, std::ostream* os) { *os << run.locale; }

class ExcelRoundTrip : public ::testing::TestWithParam<Run> {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("LC_ALL");
    hadLcAll_ = saved != nullptr;
    if (saved) savedLcAll_ = saved;
    setenv("LC_ALL", GetParam().locale, 1);
    auto book = exceltest::ExportLikeWorkbook(GetParam().script);
    std::string err = exceltest::WriteWorkbook(book, xls_, json_);
    ASSERT_EQ(err, "");
  }
  void TearDown() override {
    if (hadLcAll_) setenv("LC_ALL", savedLcAll_.c_str(), 1);
    else unsetenv("LC_ALL");
  }
  void Check(const std::string& mode) {
    std::string out;
    int rc = exceltest::RunChecker(mode, xls_, json_, GetParam().locale, &out);
    if (rc == 77) GTEST_SKIP() << out;
    EXPECT_EQ(rc, 0) << out;
  }

  testsupport::TempDir dir_;
  std::filesystem::path xls_ = dir_ / "contacts.xls";
  std::filesystem::path json_ = dir_ / "expected.json";
  bool hadLcAll_ = false;
  std::string savedLcAll_;
};

TEST_P(ExcelRoundTrip, Xlrd) { Check("xlrd"); }
TEST_P(ExcelRoundTrip, Gnumeric) { Check("ssconvert"); }

INSTANTIATE_TEST_SUITE_P(Locales, ExcelRoundTrip,
                         ::testing::Values(Run{exceltest::Script::Western, "de_DE.UTF-8"},
                                           Run{exceltest::Script::Cyrillic, "ru_RU.UTF-8"},
                                           Run{exceltest::Script::Japanese, "ja_JP.UTF-8"}),
                         [](const auto& info) {
                           return std::string(info.param.locale).substr(0, 2);
                         });

}  // namespace

// The .xlsx package's own pieces: cell text that must survive the XML and
// the readers' "_xHHHH_" decoding, day serials around Excel's 1900 leap day,
// column names at their carries, and an archive Python's zipfile reads whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "export/XlsxPackage.h"
#include "support/TestData.h"

namespace {

struct TextRow {
  const char* in;
  const char* out;
};
void PrintTo(const TextRow& r, std::ostream* os) { *os << '"' << r.in << '"'; }
class XmlText : public ::testing::TestWithParam<TextRow> {};
TEST_P(XmlText, IsEscaped) {
  std::string out;
  exports::AppendXmlText(out, GetParam().in);
  EXPECT_EQ(out, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cells, XmlText,
                         ::testing::Values(TextRow{"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;"},
                                           TextRow{"tab\tand\nline", "tab\tand\nline"},
                                           TextRow{"bell\x07", "bell_x0007_"},
                                           TextRow{"_x0041_ stays", "_x005F_x0041_ stays"},
                                           TextRow{"_x00G1_ and _x1", "_x00G1_ and _x1"},
                                           TextRow{"平岡 ①", "平岡 ①"}));

TEST(XlsxPackage, DaySerialsAndColumnNames) {
  struct {
    int y, m, d;
    std::int64_t serial;
  } const days[] = {{1900, 1, 1, 1}, {1900, 2, 28, 59}, {1900, 3, 1, 61}, {1970, 1, 1, 25569},
                    {2026, 12, 8, 46364}, {9999, 12, 31, 2958465}};
  for (const auto& d : days) EXPECT_EQ(exports::ExcelDaySerial(d.y, d.m, d.d), d.serial) << d.y << "-" << d.m;
  const std::pair<std::uint32_t, const char*> cols[] = {{0, "A"}, {25, "Z"}, {26, "AA"}, {701, "ZZ"}, {702, "AAA"}};
  for (const auto& [col, name] : cols) {
    std::string out;
    exports::AppendColumnName(out, col);
    EXPECT_EQ(out, name);
  }
}

// Parts larger than the gathering chunk and the output buffer, read back
// by a ZIP reader nobody here wrote, CRCs checked.
TEST(XlsxPackage, ArchiveReadsBackWhole) {
  testsupport::TempDir dir;
  const auto path = (dir / "p.zip").string();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::size_t size = 0;
  {
    exports::ZipPackage zip(fd);
    zip.Begin("a.xml");
    zip.Append("<a/>");
    zip.End();
    zip.Begin("big/b.xml");
    for (int i = 0; i < 200000; ++i) {
      const std::string line = "row " + std::to_string(i * 7919 % 100003) + "\n";
      size += line.size();
      zip.Append(line);
    }
    zip.End();
    zip.Finish();
  }
  ::close(fd);
  std::string out;
  ASSERT_EQ(testsupport::RunCommand("/usr/bin/python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                    "assert z.testzip() is None; print(z.namelist(), len(z.read('big/b.xml')), "
                                    "z.read('a.xml'))\" " + testsupport::ShellQuote(path) + " 2>&1",
                                    &out),
            0)
      << out;
  EXPECT_NE(out.find("['a.xml', 'big/b.xml'] " + std::to_string(size) + " "), std::string::npos) << out;
  EXPECT_NE(out.find("b'<a/>'"), std::string::npos) << out;
}

}  // namespace

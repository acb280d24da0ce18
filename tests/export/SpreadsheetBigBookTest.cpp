// Big sheets: past 16,384 rows the completion text says that some programs
// show only the start, and Gnumeric does show the first 16,384 rows as
// written; LibreOffice reads a full sheet of 65,536 rows.
#include <gtest/gtest.h>

#include <fstream>

#include "RoundTrip.h"
#include "export/SpreadsheetExport.h"
#include "platform/automation/AddressBookReader.h"

namespace {

using namespace roundtrip;

// Every value names its contact and key, so a row shows where it came from.
class NumberedReader : public automation::AddressBookReader {
 public:
  explicit NumberedReader(std::int32_t count) : count_(count) {}
  void Open(const std::string&) override {}
  std::int32_t GetCount() override { return count_; }
  void Select(std::int32_t index) override { index_ = index; }
  std::string GetValue(const std::string& key) override { return key + std::to_string(index_); }

 private:
  std::int32_t count_, index_ = -1;
};

TEST(SpreadsheetBigBook, SheetPastWhatEveryReaderShowsIsNotedAndGnumericShowsItsStart) {
  testsupport::TempDir dir;
  testsupport::WriteGeneratedBook(dir / "big.wab", 16384);
  const ToolRun run = Convert(dir / "big.wab", dir.path());
  ASSERT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find("\nThe sheet has 16,385 rows: some programs (Gnumeric, xlrd, old Excel) show only the "
                         "first 16,384.\n"),
            std::string::npos)
      << run.out;
  const Dump g = ReadBack("gnumeric", dir / "big.xls");
  ExpectNoRecordDropped(g, /*cutRows=*/true);
  ExpectShape(g, 16384, "gnumeric");
  ASSERT_EQ(g.rows.size(), 16384u);
  const Table expected = ExpectedSheet(GeneratedValues(16383), 1252);
  EXPECT_EQ(g.rows[1], RowLine(expected[1]));
  EXPECT_EQ(g.rows.back(), RowLine(expected.back()));
}

TEST(SpreadsheetBigBook, LibreOfficeReadsTheWholeSheetOfTheLargestBook) {
  testsupport::TempDir dir;
  automation::ScopedRegistration reg(automation::kAddressBookReaderProgId,
                                     automation::SameObject(std::make_shared<NumberedReader>(65535)));
  const auto result = exports::ExportToSpreadsheet("/books/full.wab", dir.path().string() + "/");
  ASSERT_TRUE(result.completed) << result.message;
  EXPECT_NE(result.message.find("The sheet has 65,536 rows"), std::string::npos);

  const std::string profile = "file://" + (dir / "lo-profile").string();
  ASSERT_EQ(RunCommand("soffice -env:UserInstallation=" + ShellQuote(profile) +
                       " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1' --outdir " +
                       ShellQuote((dir / "csv").string()) + " " + ShellQuote((dir / "full.xls").string()) +
                       " >/dev/null 2>&1"),
            0);
  std::ifstream csv(dir / "csv" / "full.csv");
  std::vector<std::string> lines;
  for (std::string line; std::getline(csv, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 65536u);
  // Text cells come out quoted.
  EXPECT_EQ(lines[0].rfind("\"First Name\",\"Middle Name\",\"Last Name\",", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("\"Name0\",\"MiddleName0\",\"Surname0\",", 0), 0u) << lines[1];
  EXPECT_EQ(lines.back().rfind("\"Name65534\",\"MiddleName65534\",\"Surname65534\",", 0), 0u) << lines.back();
  EXPECT_EQ(lines.back().substr(lines.back().size() - 15), ",\"Comment65534\"");
}

}  // namespace

// A sheet of 16,385 rows: the note in the completion text is true, and
// Gnumeric shows the first 16,384 rows as written.
#include <gtest/gtest.h>

#include "RoundTrip.h"

namespace {

using namespace roundtrip;

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

}  // namespace

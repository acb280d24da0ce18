// addrivo-convert xls as a user runs it: exit codes, where texts go.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestData.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

std::string Tool() { return std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert"; }

TEST(ExportVerb, WrongArgumentsAreAUsageError) {
  std::string out;
  EXPECT_EQ(RunCommand(Tool() + " xls only-one.wab 2>&1", &out), 2);
  EXPECT_NE(out.find("Usage: addrivo-convert"), std::string::npos);
  EXPECT_EQ(RunCommand(Tool() + " xls a b c 2>/dev/null"), 2);
}

TEST(ExportVerb, FailureGoesToStandardErrorWithExitOneAndLeavesNoFile) {
  testsupport::TempDir dir;
  std::string out, err;
  const std::string book = (dir / "Missing.WAB").string();
  const int rc = RunCommand(Tool() + " xls " + ShellQuote(book) + " " + ShellQuote(dir.path().string()) +
                                " 2>" + ShellQuote((dir / "err.txt").string()),
                            &out);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(out, "");
  err = testsupport::ReadFile(dir / "err.txt");
  const std::string expected = "addrivo-convert: The contacts could not be saved to " + dir.path().string() +
                               "/missing.xls.\nThe address book " + book + " could not be read: ";
  EXPECT_EQ(err.rfind(expected, 0), 0u) << err;
  EXPECT_EQ(err.find('\r'), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.xls"));
}

}  // namespace

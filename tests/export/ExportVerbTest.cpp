// addrivo-convert xls as a user runs it: exit codes, where texts go.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <ostream>

#include "support/TestData.h"
#include "support/WabWriter.h"

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

// One row a fault the tool once had: what is set up in the folder, the
// command (BOOK and DIR stand for the book and the folder, RAWBOOK for the
// book's path unquoted), the exit status,
// a text standard error must hold, and what must hold of the folder after.
struct ExitCase {
  const char* name;
  std::function<void(const std::filesystem::path& dir)> setup;
  std::string args;
  int status;
  std::string err;
  std::function<void(const std::filesystem::path& dir, const std::string& out)> after;
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

namespace fs = std::filesystem;

unsigned ModeOf(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

void MineAt(const fs::path& file) {
  testsupport::WriteFile(file, "mine");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
}

// A book of three contacts whose second one is damaged.
void DamagedBook(const fs::path& d) {
  testsupport::wab::Layout layout;
  std::string bytes = testsupport::wab::WriteBook(testsupport::GeneratedBook(3), &layout);
  bytes[layout.recordOffsets[2] + 16] = 0x21;  // the second contact's header
  testsupport::WriteFile(d / "book.wab", bytes);
}

std::size_t Count(const fs::path& dir, const std::string& ext) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += e.path().extension() == ext;
  return n;
}

const ExitCase kExitCases[] = {
    {"EmptyFolderIsAUsageError", nullptr, "xls BOOK ''", 2, "OUTDIR", nullptr},
    {"EmptyFolderIsAUsageErrorForOutlook", nullptr, "pst-ansi BOOK ''", 2, "OUTDIR", nullptr},
    {"AnExistingWorkbookIsKept", [](const fs::path& d) { MineAt(d / "book.xls"); }, "xls BOOK DIR", 1,
     "book.xls already exists; nothing was written (--force replaces it)",
     [](const fs::path& d, const std::string&) {
       EXPECT_EQ(testsupport::ReadFile(d / "book.xls"), "mine");
       EXPECT_EQ(ModeOf(d / "book.xls"), 0600u);
     }},
    {"ForceReplacesItWithANewFile", [](const fs::path& d) { MineAt(d / "book.xls"); }, "xls --force BOOK DIR", 0,
     "",
     [](const fs::path& d, const std::string&) {
       EXPECT_NE(testsupport::ReadFile(d / "book.xls"), "mine");
       EXPECT_EQ(ModeOf(d / "book.xls"), 0644u);  // the umask's mode, not the old file's
       EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 2);  // no temporary left
     }},
    {"AFinishedWorkbookIsSuccessWhenOnlyPrintingFails", nullptr, "xls BOOK DIR >/dev/full", 0,
     "warning: the export finished",
     [](const fs::path& d, const std::string&) { EXPECT_TRUE(fs::exists(d / "book.xls")); }},
    {"AFinishedStoreIsSuccessWhenOnlyPrintingFails", nullptr, "pst-unicode BOOK DIR >/dev/full", 0,
     "warning: the export finished", [](const fs::path& d, const std::string&) { EXPECT_EQ(Count(d, ".pst"), 1u); }},
    {"TwoStoresInOneSecondBothSucceed", nullptr, "pst-ansi BOOK DIR && $TOOL pst-ansi BOOK DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_EQ(Count(d, ".pst"), 2u); }},
    {"ANonBookLeavesNoStoreAndNoProfileLine", [](const fs::path& d) { testsupport::WriteFile(d / "book.wab", "no"); },
     "pst-unicode BOOK DIR", 1, "could not be read",
     [](const fs::path& d, const std::string&) {
       EXPECT_EQ(Count(d, ".pst"), 0u);
       EXPECT_FALSE(fs::exists(d / "config" / "addrivo" / "outlook-profile"));
     }},
    {"AnUnwritableProfileLeavesNoStore",
     [](const fs::path& d) { fs::create_directories(d / "config" / "addrivo" / "outlook-profile"); },
     "pst-ansi BOOK DIR", 1, "outlook-profile", [](const fs::path& d, const std::string&) { EXPECT_EQ(Count(d, ".pst"), 0u); }},
    {"BlanksAfterThePathStayOutOfTheName", nullptr, "xls 'RAWBOOK  ' DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_TRUE(fs::exists(d / "book.xls")); }},
    {"ALongBookNameStillExports",
     [](const fs::path& d) { fs::copy_file(d / "book.wab", d / (std::string(240, 'n') + ".wab")); },
     std::string("xls DIR/") + std::string(240, 'n') + ".wab DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_TRUE(fs::exists(d / (std::string(240, 'n') + ".xls"))); }},
    {"ANameTooLongIsSaidToBe",
     // A book name without ".wab" gets ".xls" added: 253 + 4 bytes.
     [](const fs::path& d) { fs::copy_file(d / "book.wab", d / std::string(253, 'n')); },
     std::string("xls DIR/") + std::string(253, 'n') + " DIR", 1, "the file name is too long", nullptr},
    {"DamagedRecordsAreNamedByTheWorkbookExport", DamagedBook, "xls BOOK DIR", 0,
     "1 damaged record of the address book was skipped.",
     [](const fs::path&, const std::string& out) { EXPECT_NE(out.find("2 Contacts"), std::string::npos) << out; }},
    {"DamagedRecordsAreNamedByTheOutlookExport", DamagedBook, "pst-ansi BOOK DIR", 0,
     "1 damaged record of the address book was skipped.", nullptr},
    {"DamagedRecordsAreNamedByTheBookExports", DamagedBook, "csv-google BOOK DIR && $TOOL xlsx BOOK DIR", 0,
     "addrivo-convert: 1 damaged record of the address book was skipped.\n",
     [](const fs::path& d, const std::string& out) {
       EXPECT_NE(out.find("\n1 damaged record of the address book was skipped.\n"), std::string::npos) << out;
       EXPECT_EQ(ModeOf(d / "book.xlsx"), 0644u);
     }},
};

class ExportVerbExit : public ::testing::TestWithParam<ExitCase> {};

std::string Expand(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST_P(ExportVerbExit, StatusMessageAndFiles) {
  const ExitCase& c = GetParam();
  testsupport::TempDir dir;
  testsupport::WriteGeneratedBook(dir / "book.wab", 2);
  if (c.setup) c.setup(dir.path());
  std::string args = Expand(c.args, "$TOOL", Tool());
  args = Expand(args, "RAWBOOK", (dir / "book.wab").string());  // inside quotes of the row's own
  args = Expand(args, "BOOK", ShellQuote((dir / "book.wab").string()));
  args = Expand(args, "DIR", ShellQuote(dir.path().string()));
  const auto errFile = dir.path().parent_path() / (dir.path().filename().string() + ".err");
  std::string out;
  const int rc = RunCommand("umask 022; export XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) +
                                " LC_ALL=C; exec 2>" + ShellQuote(errFile.string()) + "; " + Tool() + " " + args,
                            &out);
  const std::string err = testsupport::ReadFile(errFile);
  fs::remove(errFile);
  EXPECT_EQ(rc, c.status) << err;
  EXPECT_NE(err.find(c.err), std::string::npos) << err;
  if (c.after) c.after(dir.path(), out);
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportVerbExit, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

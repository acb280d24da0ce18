// addrivo-convert xls as a user runs it: exit codes, where texts go.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

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
    {"BlanksAfterThePathStayOutOfTheName",
     [](const fs::path& d) { fs::copy_file(d / "book.wab", d / "book.wab  "); }, "xls 'RAWBOOK  ' DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_TRUE(fs::exists(d / "book.xls")); }},
    // The book is the file named, never another one that differs by blanks.
    {"TheBookIsThePathAsGiven", nullptr, "xls 'RAWBOOK ' DIR", 1, "could not be read",
     [](const fs::path& d, const std::string&) { EXPECT_FALSE(fs::exists(d / "book.xls")); }},
    {"TheBookIsThePathAsGivenForTheBookExports", nullptr, "csv-outlook 'RAWBOOK ' DIR", 1, "could not be read",
     [](const fs::path& d, const std::string&) { EXPECT_FALSE(fs::exists(d / "book.csv")); }},
    {"ADeletedStoreDoesNotBlockTheNext", nullptr,
     "pst-unicode BOOK DIR >/dev/null && rm DIR/*.pst && $TOOL pst-unicode BOOK DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_EQ(Count(d, ".pst"), 1u); }},
    {"AFailedStoreLeavesNoTemporaryAndNoLine",
     [](const fs::path& d) { fs::create_directories(d / "config" / "addrivo" / "outlook-profile"); },
     "pst-unicode BOOK DIR", 1, "outlook-profile",
     [](const fs::path& d, const std::string&) { EXPECT_EQ(Count(d, ".tmp"), 0u); }},
    {"AnOutdirThatIsAFileIsSaidToBe", [](const fs::path& d) { testsupport::WriteFile(d / "f", ""); },
     "xls BOOK DIR/f", 1, "is a file, not a folder", nullptr},
    {"AFolderAtTheOutputNameIsSaidToBe", [](const fs::path& d) { fs::create_directory(d / "book.xls"); },
     "xls --force BOOK DIR", 1, "book.xls is a folder", nullptr},
    // The book is cut short while list --all writes it into a pipe that is
    // not read: the same failure as every other verb gives.
    {"ListAllOfABookCutShortFails",
     [](const fs::path& d) { testsupport::WriteGeneratedBook(d / "book.wab", 20000); },
     "--help >/dev/null; ($TOOL list --all BOOK; echo $? >DIR/rc) | (head -c 1 >/dev/null; truncate -s 4096 BOOK; "
     "cat >/dev/null); exit $(cat DIR/rc)",
     1, "the file was cut short while it was being read", nullptr},
    {"ABookNameWithoutExtensionGivesAStoreName", [](const fs::path& d) { fs::copy_file(d / "book.wab", d / "ab"); },
     "pst-ansi DIR/ab DIR", 0, "",
     [](const fs::path&, const std::string& out) { EXPECT_NE(out.find("/ab-"), std::string::npos) << out; }},
    {"ALongBookNameStillExports",
     [](const fs::path& d) { fs::copy_file(d / "book.wab", d / (std::string(240, 'n') + ".wab")); },
     std::string("xls DIR/") + std::string(240, 'n') + ".wab DIR", 0, "",
     [](const fs::path& d, const std::string&) { EXPECT_TRUE(fs::exists(d / (std::string(240, 'n') + ".xls"))); }},
    {"ANameTooLongIsSaidToBe",
     // A book name without ".wab" keeps it and gets ".xls" added: 253 + 4 bytes.
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



// --- runs that collide or stop ------------------------------------------------

std::size_t ProfileLines(const fs::path& dir) {  // the heading aside
  const std::string text = testsupport::ReadFile(dir / "config" / "addrivo" / "outlook-profile");
  return text.empty() ? 0 : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 1;
}

// Two books of one file name, from two folders, exported together into one
// folder: each run keeps a file of its own holding its own book.
TEST(PstRuns, TwoAtOnceIntoOneFolderEachKeepTheirOwnStore) {
  testsupport::TempDir dir;
  for (const char* sub : {"a", "b", "out"}) fs::create_directories(dir / sub);
  testsupport::WriteGeneratedBook(dir / "a" / "book.wab", 3);
  testsupport::WriteGeneratedBook(dir / "b" / "book.wab", 400);
  auto run = [&](const std::string& w) {
    return "(" + Tool() + " pst-unicode " + ShellQuote((dir / w / "book.wab").string()) + " " +
           ShellQuote((dir / "out").string()) + " >" + ShellQuote((dir / (w + ".out")).string()) + " 2>&1; echo $? >" +
           ShellQuote((dir / (w + ".rc")).string()) + ")";
  };
  auto fileName = [&](const std::string& w) {
    const std::string out = testsupport::ReadFile(dir / (w + ".out"));
    EXPECT_EQ(testsupport::ReadFile(dir / (w + ".rc")), "0\n") << out;
    const auto at = out.find("FileName: ");
    return at == std::string::npos ? std::string() : out.substr(at + 10, out.find('\n', at) - at - 10);
  };
  const int kRounds = 20;  // the old fault showed in 5 of 20
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_EQ(RunCommand("export XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) + "; " + run("a") +
                         " & " + run("b") + " & wait"),
              0);
    const std::string a = fileName("a"), b = fileName("b");
    ASSERT_NE(a, b) << "round " << round;
    ASSERT_TRUE(fs::exists(a) && fs::exists(b)) << a << " " << b;
    EXPECT_LT(fs::file_size(a), fs::file_size(b));  // 3 contacts take less room than 400
  }
  EXPECT_EQ(Count(dir / "out", ".pst"), 2u * kRounds);
  EXPECT_EQ(Count(dir / "out", ".tmp"), 0u);
  EXPECT_EQ(ProfileLines(dir.path()), 2u * kRounds);
}

// A signal really sent to a running export of a large book: SIGINT and
// SIGTERM leave nothing, neither file nor profile line; after SIGKILL no
// finished-looking store is there, and the next run removes what is left.
class PstStopped : public ::testing::TestWithParam<int> {};

TEST_P(PstStopped, LeavesNoStoreAndTheNextRunCleansUp) {
  const int signal = GetParam();
  testsupport::TempDir dir;
  fs::create_directories(dir / "out");
  testsupport::WriteGeneratedBook(dir / "big.wab", 20000);
  testsupport::WriteGeneratedBook(dir / "small.wab", 2);
  const std::string config = (dir / "config").string(), out = (dir / "out").string();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::signal(SIGINT, SIG_DFL);  // as from a terminal, not a background job
    const std::string tool = Tool(), book = (dir / "big.wab").string();
    ::execl(tool.c_str(), tool.c_str(), "pst-unicode", book.c_str(), out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Once the store is attached the export is held still while the signal is
  // sent, so that it lands mid-export however fast the machine.
  for (int i = 0; i < 20000 && (fs::is_empty(out) || !fs::exists(dir / "config" / "addrivo")); ++i) ::usleep(500);
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  ASSERT_EQ(::kill(pid, signal), 0);
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the export ended before the signal: status " << status;
  EXPECT_EQ(WTERMSIG(status), signal);
  EXPECT_EQ(Count(dir / "out", ".pst"), 0u);
  if (signal != SIGKILL) {
    EXPECT_TRUE(fs::is_empty(out) && ProfileLines(dir.path()) == 0);
  }

  ASSERT_EQ(RunCommand("export XDG_CONFIG_HOME=" + ShellQuote(config) + "; " + Tool() + " pst-unicode " +
                       ShellQuote((dir / "small.wab").string()) + " " + ShellQuote(out) + " >/dev/null"),
            0);
  EXPECT_EQ(Count(dir / "out", ".pst"), 1u);
  EXPECT_EQ(Count(dir / "out", ".tmp"), 0u);
  EXPECT_EQ(ProfileLines(dir.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, PstStopped, ::testing::Values(SIGINT, SIGTERM, SIGKILL),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

// --- code pages -----------------------------------------------------------------

// A one-contact book whose texts are 8-bit in bookPage, exported under an
// English locale: read in the page asked for, else in the one guessed from
// the texts when the locale's does not fit them, and said so.
struct CodePageCase {
  const char* name;
  int bookPage;
  std::string args, expected, line;  // BOOK, DIR as above; in the CSV; on standard error ("" none)
  const char* locale = "en_US.UTF-8";
};
void PrintTo(const CodePageCase& c, std::ostream* os) { *os << c.name; }

const CodePageCase kCodePageCases[] = {
    {"CyrillicGuessed", 1251, "csv-outlook BOOK DIR", "Пётр,,Иванов", "code page 1251 (WINDOWS-1251), guessed"},
    {"CyrillicAsAsked", 1251, "csv-google --codepage 1251 BOOK DIR", "Иванов", "code page 1251, as asked"},
    {"AWrongPageAskedForIsKept", 1251, "csv-outlook --codepage 1252 BOOK DIR", "\xc3\x8f\xc2\xb8\xc3\xb2\xc3\xb0",
     "code page 1252, as asked"},
    {"WesternStaysInTheLocalesPage", 1252, "csv-outlook BOOK DIR", "Jürgen,,Müller", ""},
    // Two short names are too little to guess from (they were taken for 1252).
    {"JapaneseStaysInTheLocalesPage", 932, "csv-outlook BOOK DIR", "花子,,山田", "", "ja_JP.UTF-8"},
    {"TheWorkbookTakesIt", 1251, "xls --codepage 1251 BOOK DIR && $TOOL csv-outlook BOOK DIR", "Иванов", "as asked"},
    {"TheStoreTakesIt", 1251, "pst-unicode --codepage 1251 BOOK DIR && $TOOL csv-outlook BOOK DIR", "Иванов",
     "as asked"},
};

class CodePages : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePages, EightBitBooksAreReadInTheRightPageAndSaySo) {
  const CodePageCase& c = GetParam();
  namespace tw = testsupport::wab;
  testsupport::TempDir dir;
  const bool cyrillic = c.bookPage == 1251, japanese = c.bookPage == 932;
  const std::string given = cyrillic ? "Пётр" : japanese ? "花子" : "Jürgen";
  const std::string surname = cyrillic ? "Иванов" : japanese ? "山田" : "Müller";
  const std::string notes = cyrillic   ? "Позвонить в понедельник утром по поводу договора поставки оборудования"
                            : japanese ? ""
                                       : "Grüße aus Köln, bis nächste Woche";
  tw::Book book;
  std::vector<tw::Property> props = {tw::String8(tw::kGivenName, given, c.bookPage),
                                     tw::String8(tw::kSurname, surname, c.bookPage)};
  if (!notes.empty()) props.push_back(tw::String8(tw::kComment, notes, c.bookPage));
  book.records.push_back(tw::Contact(3, props));
  tw::WriteBookFile(dir / "book.wab", book);
  std::string args = Expand(Expand(c.args, "$TOOL", Tool()), "BOOK", ShellQuote((dir / "book.wab").string()));
  args = Expand(args, "DIR", ShellQuote(dir.path().string()));
  const auto errFile = dir.path().parent_path() / (dir.path().filename().string() + ".err");
  ASSERT_EQ(RunCommand("export XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) +
                       " LC_ALL=" + c.locale + "; exec 2>" + ShellQuote(errFile.string()) + " >/dev/null; " + Tool() + " " +
                       args),
            0);
  const std::string err = testsupport::ReadFile(errFile);
  fs::remove(errFile);
  EXPECT_NE(testsupport::ReadFile(dir / "book.csv").find(c.expected), std::string::npos);
  EXPECT_EQ(err.find(c.line.empty() ? "code page" : c.line) != std::string::npos, !c.line.empty()) << err;
}

INSTANTIATE_TEST_SUITE_P(Books, CodePages, ::testing::ValuesIn(kCodePageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

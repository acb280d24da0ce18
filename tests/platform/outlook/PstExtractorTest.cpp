// A third reader, of the java-libpst family: npm pst-extractor as shipped
// reads every Unicode export whole (folders, contacts, lists with their
// members) with what the book holds; pst-walk.js does the comparing.
// Its ANSI reading fails on Outlook's own ANSI file too, so ANSI exports are
// left to libpff, libpst and the checker. The reader is installed into the
// build folder on first use; without Node.js the tests skip, under CI=true
// they fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/PstChecker.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

namespace w = testsupport::wab;
using testsupport::RunCommand;
using testsupport::ShellQuote;

const std::string kModules = ADDRIVO_BINARY_DIR "/npm";
const std::string kWalk = ADDRIVO_SOURCE_DIR "/tests/platform/pst/pst-walk.js";

// The reader at the version these tests were written against, installed
// once (under a lock: test processes run side by side).
bool ReaderReady(std::string* why) {
  std::string out;
  if (RunCommand("node --version && npm --version", &out) != 0) {
    *why = "Node.js and npm are not installed";
    return false;
  }
  const std::string install = "mkdir -p " + ShellQuote(kModules) + " && flock " + ShellQuote(kModules + "/.lock") +
                              " sh -c 'test -f " + kModules + "/node_modules/pst-extractor/package.json || npm install" +
                              " --prefix " + kModules + " --no-audit --no-fund --loglevel=error pst-extractor@1.12.0' 2>&1";
  if (RunCommand(install, &out) != 0) {
    *why = "npm could not install pst-extractor: " + out;
    return false;
  }
  return true;
}

class PstExtractorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (ReaderReady(&why)) return;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << why;
    GTEST_SKIP() << why;
  }
  // Exports the book in the Unicode format and has the reader compare the
  // file with the book's own listing; returns the differences.
  std::string ReadBack(const std::filesystem::path& book) {
    const auto out = work.path() / book.stem();
    std::filesystem::create_directories(out);
    const std::string convert = "env XDG_CONFIG_HOME=" + ShellQuote(work.path().string()) + " " ADDRIVO_BINARY_DIR
                                "/bin/addrivo-convert ";
    std::string ignored;
    EXPECT_EQ(RunCommand(convert + "pst-unicode " + ShellQuote(book.string()) + " " + ShellQuote(out.string()) +
                             " 2>/dev/null",
                         &ignored),
              0);
    const auto listing = work.path() / (book.stem().string() + ".jsonl");
    EXPECT_EQ(RunCommand(convert + "list --all " + ShellQuote(book.string()) + " >" + ShellQuote(listing.string()) +
                         " 2>/dev/null"),
              0);
    std::filesystem::path pst;
    for (const auto& e : std::filesystem::directory_iterator(out)) pst = e.path();
    EXPECT_TRUE(testsupport::CheckPstFile(pst).layout.Kept());
    std::string diff;
    const int status = RunCommand("node " + kWalk + " " + ShellQuote(kModules + "/node_modules") + " " +
                                      ShellQuote(pst.string()) + " " + ShellQuote(listing.string()) + " 2>&1",
                                  &diff);
    EXPECT_EQ(status, 0) << diff;
    return diff;
  }
  testsupport::TempDir work;
};

#ifndef ADDRIVO_LARGE_BOOKS
// Every kind of entry: a folder inside the one top folder, a contact with
// many fields, one without an address, a group inside a group, a group's own
// fields; another book with two top-level folders; a book of 600 contacts
// (a contents table beyond one row-index leaf); and the real book.
TEST_F(PstExtractorTest, ReadsEveryUnicodeExportWithTheBooksValues) {
  w::Book kinds;
  kinds.records.push_back(w::Folder(2, "Main Identity's Contacts", {4, 10, 12, 21}));
  kinds.records.push_back(w::Folder(4, "Sub", {11, 20}));
  kinds.records.back().properties.push_back(w::FolderLink(2));
  auto person = [](std::uint32_t id, std::uint32_t folder, const char* given, const char* display,
                   std::vector<std::string> emails) {
    std::vector<w::Property> p{w::FolderLink(folder), w::Unicode(w::kGivenName, given),
                               w::Unicode(w::kSurname, "Nakamura"), w::Unicode(w::kDisplayName, display),
                               w::Unicode(w::kCompanyName, "Addrivo"), w::Unicode(w::kBusinessPhone, "+1 555 0100"),
                               w::Unicode(w::kCellPhone, "+1 555 0199"), w::Unicode(w::kHomeStreet, "1 Elm\r\nFlat 2"),
                               w::Unicode(w::kDepartment, "Sales")};
    if (!emails.empty())
      for (auto& e : w::Emails(emails, 0)) p.push_back(std::move(e));
    return w::Contact(id, std::move(p));
  };
  kinds.records.push_back(person(10, 2, "Ken", "Nakamura-san", {"ken@example.org", "k2@example.org"}));
  kinds.records.push_back(person(11, 4, "Aya", "\xe4\xb8\xad\xe6\x9d\x91 \xe3\x81\x82\xe3\x82\x84", {"aya@example.jp"}));
  kinds.records.push_back(person(12, 2, "Mo", "Mo Nakamura", {}));
  kinds.records.push_back(w::Group(20, "Inner", {11}));
  kinds.records.back().properties.push_back(w::FolderLink(4));
  kinds.records.push_back(w::Group(21, "Outer", {10, 20, 12}));
  kinds.records.back().properties.push_back(w::FolderLink(2));
  kinds.records.back().properties.push_back(w::Unicode(w::kHomePhone, "+1 555 0123"));
  w::WriteBookFile(work.path() / "kinds.wab", kinds);

  w::Book twoTops;
  twoTops.records.push_back(w::Folder(2, "Main Identity's Contacts", {10}));
  twoTops.records.push_back(w::Folder(3, "Shared Contacts", {11}));
  twoTops.records.push_back(person(10, 2, "Ken", "Ken N.", {"ken@example.org"}));
  twoTops.records.push_back(person(11, 3, "Aya", "Aya N.", {"aya@example.org"}));
  w::WriteBookFile(work.path() / "two-tops.wab", twoTops);
  testsupport::WriteGeneratedBook(work.path() / "six-hundred.wab", 600);

  for (const char* book : {"kinds.wab", "two-tops.wab", "six-hundred.wab"}) EXPECT_EQ(ReadBack(work.path() / book), "") << book;
  EXPECT_EQ(ReadBack(testsupport::TestDataPath("wab/HiraokaTaro.WAB")), "");
}

// Outlook's own Unicode files open and walk whole; the list in dist-list.pst
// carries the member checksum the engine computes the same way.
TEST_F(PstExtractorTest, ReadsOutlooksOwnUnicodeFiles) {
  for (const char* name : {"pst/test_unicode.pst", "pst/dist-list.pst", "pst/Empty-unicode.pst"}) {
    const auto file = testsupport::TestDataPath(name);
    std::string json;
    EXPECT_EQ(RunCommand("node " + kWalk + " " + ShellQuote(kModules + "/node_modules") + " " +
                             ShellQuote(file.string()) + " 2>/dev/null",
                         &json),
              0)
        << name << json;
    if (std::string(name) == "pst/dist-list.pst") {
      EXPECT_NE(json.find("\"checksum\": 4205190967"), std::string::npos) << json;
      EXPECT_NE(json.find("\"checksumOk\": true"), std::string::npos) << json;
    }
  }
}
#else
// The largest book the export takes, 32,766 contacts in one folder.
TEST_F(PstExtractorTest, ReadsTheLargestExportWhole) {
  testsupport::WriteGeneratedBook(work.path() / "largest.wab", 32766);
  EXPECT_EQ(ReadBack(work.path() / "largest.wab"), "");
}
#endif

}  // namespace

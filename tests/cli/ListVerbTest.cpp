// addrivo-convert list, run as a user would run it. Python's json module
// reads the output, so the escaping is checked by a parser we did not write.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;
using namespace testsupport::wab;

const std::string kTool = ADDRIVO_BINARY_DIR "/bin/addrivo-convert";

struct Result {
  int status;
  std::string out, err;
};

// Runs the tool with shell-ready arguments.
Result Tool(const std::string& args, const testsupport::TempDir& dir) {
  Result r;
  const auto errFile = dir / "stderr.txt";
  r.status = RunCommand(ShellQuote(kTool) + " " + args + " 2>" + ShellQuote(errFile.string()), &r.out);
  r.err = testsupport::ReadFile(errFile);
  return r;
}

Result List(const std::string& args, const testsupport::TempDir& dir) { return Tool("list " + args, dir); }

// Each line parsed by Python and printed back as "key=value" lines, with
// the key order checked on the way.
std::string ThroughPython(const std::string& jsonLines, const testsupport::TempDir& dir) {
  testsupport::WriteFile(dir / "out.jsonl", jsonLines);
  const std::string script =
      "import json,sys\n"
      "keys=['Name','MiddleName','Surname','HomeEmail','CompanyName','BusinessAddress','City','Postal',"
      "'Province','Country','OfficeLocation','CompanyURL','Department','BusinessPhone','BusinessFax',"
      "'HomeAddress','HomePhone','Fax','CellPhone','Comment']\n"
      "for line in open(sys.argv[1],encoding='utf-8',newline='\\n'):\n"
      "  o=json.loads(line)\n"
      "  assert list(o.keys())==keys, list(o.keys())\n"
      "  print(repr(o['Name']), repr(o['Surname']), repr(o['Comment']), repr(o['HomeEmail']))\n";
  testsupport::WriteFile(dir / "check.py", script);
  std::string out;
  int status = RunCommand("PYTHONIOENCODING=utf-8 python3 " + ShellQuote((dir / "check.py").string()) + " " +
                              ShellQuote((dir / "out.jsonl").string()) + " 2>&1",
                          &out);
  return status == 0 ? out : "python failed: " + out;
}

TEST(ListVerb, RealBookPrintsOneObjectPerContact) {
  testsupport::TempDir dir;
  Result r = List(ShellQuote(testsupport::TestDataPath("wab/HiraokaTaro.WAB").string()), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ThroughPython(r.out, dir),
            "'太郎' '枚岡' '追加情報\\r\\nその他\\r\\nメモ' 'test@example.com'\n"
            "'①' 'フォルダ' '' ''\n"
            "'3' 'Folder' '' ''\n"
            "'Ⅱ' 'フォルダ' '' ''\n");
  // The first line in full, byte for byte.
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "{\"Name\":\"太郎\",\"MiddleName\":\"\",\"Surname\":\"枚岡\",\"HomeEmail\":\"test@example.com\","
            "\"CompanyName\":\"会社名\",\"BusinessAddress\":\"勤務：番地\",\"City\":\"勤務：市区町村\","
            "\"Postal\":\"勤務：郵便\",\"Province\":\"勤務：都道府県\",\"Country\":\"勤務：国\","
            "\"OfficeLocation\":\"勤務：オフィス\",\"CompanyURL\":\"http://example.org/corp\","
            "\"Department\":\"勤務：部署\",\"BusinessPhone\":\"勤務：TEL\",\"BusinessFax\":\"勤務：FAX\","
            "\"HomeAddress\":\"番地\",\"HomePhone\":\"TEL\",\"Fax\":\"FAX\",\"CellPhone\":\"PHONE\","
            "\"Comment\":\"追加情報\\r\\nその他\\r\\nメモ\"}");
}

TEST(ListVerb, AwkwardTextsSurviveJson) {
  testsupport::TempDir dir;
  Book book;
  book.records.push_back(Contact(2, {Unicode(kGivenName, "say \"hi\""), Unicode(kSurname, "back\\slash|pipe"),
                                     Unicode(kComment, std::string("tab\tbell\x07 nul-free\x1F end\r\n"))}));
  book.records.push_back(Contact(3, {Unicode(kGivenName, "😀 𠮷"), Unicode(kSurname, "Ωμέγα"),
                                     Unicode(kComment, "</script>\x7F")}));
  book.records.push_back(Contact(4, {Unicode(kDisplayName, "mail@example.com"),
                                     Unicode(kEmailAddress, "mail@example.com")}));
  WriteBookFile(dir / "odd.wab", book);
  Result r = List(ShellQuote((dir / "odd.wab").string()), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ThroughPython(r.out, dir),
            "'say \"hi\"' 'back\\\\slash|pipe' 'tab\\tbell\\x07 nul-free\\x1f end\\r\\n' ''\n"
            "'😀 𠮷' 'Ωμέγα' '</script>\\x7f' ''\n"
            "'mail@example.com' '' '' 'mail@example.com'\n");
  // Control characters never appear raw.
  for (char c : r.out) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n');
}

TEST(ListVerb, FailuresAndUsage) {
  testsupport::TempDir dir;
  const std::string missing = (dir / "no such.wab").string();
  Result r = List(ShellQuote(missing), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;

  testsupport::WriteFile(dir / "notes.wab", "just some text\n");
  r = List(ShellQuote((dir / "notes.wab").string()), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "addrivo-convert: NOT a Correct Windows Address Book File.\n");

  for (const char* bad : {"list", "list a.wab b.wab", "list --bogus"}) {
    Result u = Tool(bad, dir);
    EXPECT_EQ(u.status, 2) << bad;
    EXPECT_NE(u.err.find("Usage: addrivo-convert"), std::string::npos) << bad;
    EXPECT_EQ(u.out, "") << bad;
  }
  Result help = Tool("--help", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("list BOOK.wab"), std::string::npos);
  help = Tool("list --help", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: addrivo-convert"), std::string::npos);
}

TEST(ListVerb, DamagedRecordsAreReportedButTheRestIsListed) {
  testsupport::TempDir dir;
  Book book = testsupport::GeneratedBook(3);
  Layout layout;
  std::string bytes = WriteBook(book, &layout);
  // Break the second contact's header (records: folder, contact 0, 1, 2, group).
  bytes[layout.recordOffsets[2] + 16] = 0x21;
  testsupport::WriteFile(dir / "damaged.wab", bytes);
  Result r = List(ShellQuote((dir / "damaged.wab").string()), dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  EXPECT_NE(r.err.find("1 damaged record skipped"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("record 0x4 at offset " + std::to_string(layout.recordOffsets[2]) +
                       " skipped: bad record header size\n"),
            std::string::npos)
      << r.err;
}

}  // namespace

// --- list --all: the whole book --------------------------------------------

namespace {

const std::string kDataDir = ADDRIVO_SOURCE_DIR "/tests/cli/data/";

// Python's json module must read every line, and each e-mail list must
// have exactly one default.
std::string JsonProblems(const std::string& jsonLines, const testsupport::TempDir& dir) {
  testsupport::WriteFile(dir / "all.jsonl", jsonLines);
  testsupport::WriteFile(dir / "check.py",
                         "import json,sys\n"
                         "for line in open(sys.argv[1],encoding='utf-8',newline='\\n'):\n"
                         "  o=json.loads(line)\n"
                         "  e=o.get('emails')\n"
                         "  assert e is None or sum(1 for a in e if a['default'])==1, line\n");
  std::string out;
  const int status = RunCommand("python3 " + ShellQuote((dir / "check.py").string()) + " " +
                                    ShellQuote((dir / "all.jsonl").string()) + " 2>&1",
                                &out);
  return status == 0 ? std::string() : out;
}

struct RealBookRun {
  const char* options;
  const char* expectedFile;
  const char* summary;
};
void PrintTo(const RealBookRun& r, std::ostream* os) { *os << '"' << r.options << '"'; }

class ListAllRealBook : public testing::TestWithParam<RealBookRun> {};

TEST_P(ListAllRealBook, EqualsTheHandWrittenListing) {
  testsupport::TempDir dir;
  const std::string book = testsupport::TestDataPath("wab/HiraokaTaro.WAB").string();
  const Result r = List(std::string(GetParam().options) + " " + ShellQuote(book), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, testsupport::ReadFile(kDataDir + GetParam().expectedFile));
  EXPECT_EQ(r.err, "addrivo-convert: " + std::string(GetParam().summary) + " in \"" + book + "\"\n");
  EXPECT_EQ(JsonProblems(r.out, dir), "");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ListAllRealBook,
    testing::Values(
        RealBookRun{"--all", "HiraokaTaro.all.jsonl",
                    "4 folders, 4 contacts, 2 groups, 0 deleted recovered, 0 damaged records skipped"},
        RealBookRun{"--all --deleted", "HiraokaTaro.all-deleted.jsonl",
                    "4 folders, 7 contacts, 2 groups, 3 deleted recovered, 0 damaged records skipped"},
        RealBookRun{"--deleted --codepage 932 --all", "HiraokaTaro.all-deleted.jsonl",
                    "4 folders, 7 contacts, 2 groups, 3 deleted recovered, 0 damaged records skipped"}));

TEST(ListAll, EightBitTextsFollowTheCodePageAsked) {
  testsupport::TempDir dir;
  struct Case {
    int codePage;
    const char* given;
    const char* surname;
    std::vector<std::string> children;
  };
  const Case cases[] = {
      {1251, "Иван", "Петров", {"Ольга", "Пётр"}},
      {932, "太郎", "山田", {"花子", "ｶﾀｶﾅ"}},
  };
  for (const auto& c : cases) {
    Book book;
    book.records.push_back(Contact(
        3, {String8(kGivenName, c.given, c.codePage), String8(kSurname, c.surname, c.codePage),
            MvString8(0x3A58, c.children, c.codePage), String8(kDisplayName, c.surname, c.codePage)}));
    WriteBookFile(dir / "eight.wab", book);
    const Result r =
        List("--all --codepage " + std::to_string(c.codePage) + " " + ShellQuote((dir / "eight.wab").string()), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"kind\":\"contact\",\"id\":3,\"displayName\":\"" + std::string(c.surname) +
                         "\",\"givenName\":\"" + c.given + "\",\"surname\":\"" + c.surname + "\",\"children\":[\"" +
                         c.children[0] + "\",\"" + c.children[1] + "\"]}\n")
        << c.codePage;
  }
}

TEST(ListAll, UsageErrors) {
  testsupport::TempDir dir;
  const std::string book = ShellQuote(testsupport::TestDataPath("wab/HiraokaTaro.WAB").string());
  const std::pair<std::string, const char*> cases[] = {
      {"--all --codepage", "--codepage needs a code page number"},
      {"--all --codepage x1 " + book, "\"x1\" is not a code page number"},
      {"--all --codepage 0 " + book, "\"0\" is not a code page number"},
      {"--all --codepage 99999 " + book, "code page 99999 is not supported here"},
      {"--all --later " + book, "unknown option \"--later\" for list --all"},
      {"--all " + book + " " + book, "list takes one address book"},
      {"--all", "list takes one address book"},
  };
  for (const auto& [args, why] : cases) {
    const Result r = List(args, dir);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(r.err.rfind("addrivo-convert: " + std::string(why) + "\n", 0), 0u) << args << "\n" << r.err;
  }
  const Result missing = List("--all " + ShellQuote((dir / "none.wab").string()), dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot open the address book"), std::string::npos) << missing.err;
}

}  // namespace

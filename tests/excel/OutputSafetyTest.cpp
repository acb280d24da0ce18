// Output files as a careless or unlucky user meets them: a file of the name
// already there, a long name, a run killed half-way. Each row is a fault an
// earlier writer had.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <ostream>

#include "excel/ExcelFile.h"
#include "platform/os/OutputFile.h"
#include "platform/pst/PstStore.h"
#include "support/TestData.h"

namespace {

namespace fs = std::filesystem;
using excel::Existing;
using excel::NewFile;

unsigned ModeOf(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Writes text through a NewFile and commits it; the errno value of the first failure.
int Write(const fs::path& target, const std::string& text, Existing existing) {
  NewFile f;
  if (int err = f.Open(target.string(), existing)) return err;
  if (::write(f.fd(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) return errno;
  return f.Commit();
}

void Mine(const fs::path& file) {
  testsupport::WriteFile(file, "mine");
  ::chmod(file.c_str(), 0600);
}

// A process number nobody has: a child that has been waited for.
pid_t GonePid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

struct SafetyCase {
  const char* name;
  std::function<void(const fs::path& dir)> check;
};
void PrintTo(const SafetyCase& c, std::ostream* os) { *os << c.name; }

const SafetyCase kCases[] = {
    {"AFileThatMayNotBeReplacedIsKept",
     [](const fs::path& d) {
       Mine(d / "book.xls");
       EXPECT_EQ(Write(d / "book.xls", "new", Existing::Keep), EEXIST);
       EXPECT_EQ(testsupport::ReadFile(d / "book.xls"), "mine");
       EXPECT_EQ(ModeOf(d / "book.xls"), 0600u);
       EXPECT_EQ(Names(d), std::vector<std::string>{"book.xls"});
     }},
    {"AReplacedFileKeepsNothingOfTheOldOne",
     [](const fs::path& d) {
       for (Existing how : {Existing::Replace, Existing::ReplaceUnsynced}) {
         Mine(d / "book.xls");
         EXPECT_EQ(Write(d / "book.xls", "new", how), 0);
         EXPECT_EQ(testsupport::ReadFile(d / "book.xls"), "new");
         EXPECT_EQ(ModeOf(d / "book.xls"), 0644u);
         EXPECT_EQ(Names(d), std::vector<std::string>{"book.xls"});
       }
     }},
    {"ALongNameNeedsNoLongerTemporaryName",
     [](const fs::path& d) {
       const std::string name = std::string(251, 'a') + ".xls";
       EXPECT_EQ(Write(d / name, "new", Existing::Keep), 0);
       EXPECT_EQ(Names(d), std::vector<std::string>{name});
     }},
    {"ANameTooLongIsReportedAsSuch",
     [](const fs::path& d) {
       const fs::path target = d / (std::string(252, 'a') + ".xls");
       EXPECT_EQ(Write(target, "new", Existing::Keep), ENAMETOOLONG);
       excel::ExcelFile book(1252);
       EXPECT_EQ(book.CreateFile(target.string()), excel::status::kNameTooLong);
       EXPECT_TRUE(Names(d).empty());
     }},
    {"TemporariesOfAKilledRunAreRemovedByTheNext",
     [](const fs::path& d) {
       const std::string stale = ".addrivo-" + std::to_string(GonePid()) + "-3.tmp";
       const std::string live = ".addrivo-" + std::to_string(::getppid()) + "-3.tmp";
       testsupport::WriteFile(d / stale, "half");
       testsupport::WriteFile(d / live, "busy");
       EXPECT_EQ(Write(d / "book.xls", "new", Existing::Keep), 0);
       EXPECT_EQ(Names(d), (std::vector<std::string>{live, "book.xls"}));
     }},
    {"AWriterThatOpensByNameGetsAHiddenNameRenamedIntoPlace",
     [](const fs::path& d) {
       Mine(d / "book.xlsx");
       NewFile f;
       ASSERT_EQ(f.Open((d / "book.xlsx").string(), Existing::Replace, excel::Staging::Named), 0);
       const fs::path temp = f.path();
       EXPECT_EQ(temp.parent_path(), d);
       EXPECT_EQ(temp.filename().string().rfind(".addrivo-" + std::to_string(::getpid()) + "-", 0), 0u);
       testsupport::WriteFile(temp, "new");  // by name, as libxlsxwriter does
       EXPECT_EQ(f.Commit(), 0);
       EXPECT_EQ(testsupport::ReadFile(d / "book.xlsx"), "new");
       EXPECT_EQ(ModeOf(d / "book.xlsx"), 0644u);
       // Never over a file that appeared meanwhile when told to keep it.
       ASSERT_EQ(f.Open((d / "other.xlsx").string(), Existing::Keep, excel::Staging::Named), 0);
       Mine(d / "other.xlsx");
       EXPECT_EQ(f.Commit(), EEXIST);
       EXPECT_EQ(testsupport::ReadFile(d / "other.xlsx"), "mine");
       EXPECT_EQ(Names(d), (std::vector<std::string>{"book.xlsx", "other.xlsx"}));
     }},
    {"TheStoreEngineTakesLongNamesToo",
     [](const fs::path& d) {
       const std::string name = std::string(251, 'p') + ".pst";
       pst::Store(pst::Format::Unicode, "Long").Write(d / name);
       pst::Store(pst::Format::Ansi, "Again").Write(d / name);  // replacing its own file
       EXPECT_EQ(Names(d), std::vector<std::string>{name});
       EXPECT_EQ(ModeOf(d / name), 0644u);
     }},
};

class OutputSafety : public ::testing::TestWithParam<SafetyCase> {};

TEST_P(OutputSafety, Holds) {
  const mode_t old = ::umask(022);
  testsupport::TempDir dir;
  GetParam().check(dir.path());
  ::umask(old);
}

INSTANTIATE_TEST_SUITE_P(Files, OutputSafety, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

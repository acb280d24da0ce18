// scripts/fetch-testdata.sh: its list of sums matches the real samples, it
// names what is missing or wrong, and says so plainly when there is no network.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TestData.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunCommand;
using testsupport::ShellQuote;

const std::string kScript = ADDRIVO_SOURCE_DIR "/scripts/fetch-testdata.sh";

// Every sample the list names, as the tests look for them.
std::vector<std::string> ListedSamples() {
  std::ifstream in(ADDRIVO_SOURCE_DIR "/tests/outside-samples.txt");
  std::vector<std::string> files;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    files.push_back(line.substr(0, line.find(' ')));
  }
  return files;
}

TEST(FetchTestData, ListedSumsMatchTheSamplesInPlace) {
  const auto files = ListedSamples();
  ASSERT_EQ(files.size(), 6u);
  for (const auto& f : files) testsupport::TestDataPath(f);  // skipped unless every one is there
  std::string out;
  EXPECT_EQ(RunCommand("bash " + ShellQuote(kScript) + " --check " + ShellQuote(testsupport::TestDataDir().string()) +
                           " 2>&1",
                       &out),
            0)
      << out;
  for (const auto& f : files) EXPECT_NE(out.find("ok       " + f + "\n"), std::string::npos) << out;
}

struct FetchRow {
  const char* name;
  const char* arguments;  // before the folder
  const char* environment;
  int status;
  const char* says;
};

const FetchRow kFetchRows[] = {
    {"CheckNamesTheMissing", "--check", "", 1, "MISSING  wab/HiraokaTaro.WAB"},
    {"CheckNamesTheWrong", "--check", "", 1, "WRONG    pst/test_ansi.pst"},
    // A proxy nobody listens on stands for a machine with no network.
    {"NoNetworkIsSaidPlainly", "", "https_proxy=http://127.0.0.1:9 HTTPS_PROXY=http://127.0.0.1:9 ", 3,
     "no network: cannot reach raw.githubusercontent.com"},
};

void PrintTo(const FetchRow& row, std::ostream* os) { *os << row.name; }

class Fetch : public ::testing::TestWithParam<FetchRow> {};

TEST_P(Fetch, ExitsWithItsStatusAndSaysWhy) {
  const FetchRow& row = GetParam();
  testsupport::TempDir dir;
  fs::create_directories(dir / "pst");
  testsupport::WriteFile(dir / "pst/test_ansi.pst", "not the sample");
  std::string out;
  const int status = RunCommand(std::string(row.environment) + "bash " + ShellQuote(kScript) + " " + row.arguments +
                                    " " + ShellQuote(dir.path().string()) + " 2>&1",
                                &out);
  EXPECT_EQ(status, row.status) << out;
  EXPECT_NE(out.find(row.says), std::string::npos) << out;
  EXPECT_EQ(testsupport::ReadFile(dir / "pst/test_ansi.pst"), "not the sample") << "nothing replaced by a failure";
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    EXPECT_EQ(e.path().extension(), e.is_directory() ? "" : ".pst") << "left behind: " << e.path();
}

INSTANTIATE_TEST_SUITE_P(Rows, Fetch, ::testing::ValuesIn(kFetchRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A sample-reading test of this very program, run without its samples.
TEST(OutsideSample, MissingSkipsTheTestAndFailsItUnderCi) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string run = "ADDRIVO_TESTDATA=/nonexistent/testdata " + ShellQuote(self) +
                          " --gtest_filter=FetchTestData.ListedSumsMatchTheSamplesInPlace 2>&1";
  std::string out;
  EXPECT_EQ(RunCommand("env -u CI " + run, &out), 0) << out;
  EXPECT_NE(out.find("[  SKIPPED ] FetchTestData.ListedSumsMatchTheSamplesInPlace"), std::string::npos) << out;
  EXPECT_NE(out.find("wab/HiraokaTaro.WAB is missing from /nonexistent/testdata (no such folder); get the samples "
                     "with scripts/fetch-testdata.sh, or point ADDRIVO_TESTDATA at a folder"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("FetchTestDataTest.cpp"), std::string::npos) << "reported where the test asked: " << out;

  EXPECT_EQ(RunCommand("CI=true " + run, &out), 1) << out;
  EXPECT_NE(out.find("[  FAILED  ] FetchTestData.ListedSumsMatchTheSamplesInPlace"), std::string::npos) << out;
  EXPECT_NE(out.find("CI=true: every sample is required"), std::string::npos) << out;
}

}  // namespace

#include "TestData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace testsupport {

std::filesystem::path TestDataDir() {
  const char* chosen = std::getenv("ADDRIVO_TESTDATA");
  return chosen && *chosen ? std::filesystem::path(chosen) : std::filesystem::path(ADDRIVO_TESTDATA_DIR);
}

std::string MissingSampleMessage(const std::string& relative) {
  const std::filesystem::path dir = TestDataDir();
  std::error_code ec;
  if (std::filesystem::is_regular_file(dir / relative, ec)) return {};
  return "outside sample " + relative + " is missing from " + dir.string() +
         (std::filesystem::is_directory(dir, ec) ? "" : " (no such folder)") +
         "; get the samples with scripts/fetch-testdata.sh, or point ADDRIVO_TESTDATA at a folder that holds them";
}

std::filesystem::path TestDataPath(const std::string& relative, const char* callerFile, int callerLine) {
  const std::string missing = MissingSampleMessage(relative);
  if (missing.empty()) return TestDataDir() / relative;
  // CI services set CI=true; "1" is common too. Only an unset, empty, "0"
  // or "false" CI lets a sample be missing.
  const std::string ci = std::getenv("CI") ? std::getenv("CI") : "";
  const bool required = !ci.empty() && ci != "0" && ci != "false";
  const auto kind = required ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
  const std::string text = required ? missing + " (CI=true: every sample is required)" : missing;
  // Recorded as the caller's own skip or failure, then the test is left the
  // way a fatal assertion in a helper leaves it: GoogleTest catches this
  // exception type silently, the result already standing.
  ::testing::internal::AssertHelper(kind, callerFile, callerLine, text.c_str()) =
      ::testing::Message();
  throw ::testing::AssertionException(
      ::testing::TestPartResult(kind, callerFile, callerLine, text.c_str()));
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "addrivo-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

int RunCommand(const std::string& command, std::string* out) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

}  // namespace testsupport

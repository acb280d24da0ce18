// Where tests find real files made by other programs, and scratch folders.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The folder of outside samples: $ADDRIVO_TESTDATA when set, else
// ../shared/testdata beside the checkout (fixed when the build is configured).
std::filesystem::path TestDataDir();

// <TestDataDir()>/<relative>, for a sample made by another program. Only for
// GoogleTest tests: call it from a test body, a fixture or a helper they run.
// When the file is missing the current test stops at once, reported as
// skipped with a message naming the file and scripts/fetch-testdata.sh. Under
// CI (CI=true, or any value but "0" and "false") it fails instead, so
// coverage cannot drop unnoticed.
// (The caller's place comes from the compiler's builtins: clang 14 has no
// std::source_location.)
std::filesystem::path TestDataPath(const std::string& relative, const char* callerFile = __builtin_FILE(),
                                   int callerLine = __builtin_LINE());

// The text TestDataPath reports for a missing sample; empty when it is there.
std::string MissingSampleMessage(const std::string& relative);

// A fresh empty folder, removed when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& bytes);

// Runs a shell command; returns its exit status and puts standard output into out.
int RunCommand(const std::string& command, std::string* out = nullptr);

// Quotes a text for a POSIX shell.
std::string ShellQuote(const std::string& s);

}  // namespace testsupport

// Where tests find real files made by other programs, and scratch folders.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// ../shared/testdata/<relative> beside the checkout.
std::filesystem::path TestDataPath(const std::string& relative);

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

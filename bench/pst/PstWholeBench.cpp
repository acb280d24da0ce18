// The Unicode store of 32,766 complete contacts (every field the engine
// takes) against the same book with the first twenty fields only, as the
// Outlook stand-in writes them: each written in a child process of its own,
// alternately, best of several runs; the ratio is the figure (target <= 1.5).
//   pst_whole_bench [directory]      (default: the system's temporary folder)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GeneratedContact.h"
#include "platform/pst/PstStore.h"

namespace {

constexpr int kContacts = 32766;
constexpr int kRuns = 5;

// Adds the contacts to a store and writes it; the time goes to `file`.time.
int RunOne(bool complete, const std::filesystem::path& file) {
  std::vector<pst::Contact> contacts;
  contacts.reserve(kContacts);
  for (int i = 0; i < kContacts; ++i) contacts.push_back(complete ? CompleteContact(i) : GeneratedContact(i, false));
  const auto t0 = std::chrono::steady_clock::now();
  pst::Store store(pst::Format::Unicode, "Windows Address Book Contacts");
  const auto folder = store.AddFolder(store.TopOfPersonalFolders(), "WAB Contacts", "IPF.Contact");
  for (const auto& c : contacts) store.AddContact(folder, c);
  store.Write(file);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (std::FILE* f = std::fopen((file.string() + ".time").c_str(), "w")) {
    std::fprintf(f, "%f\n", s);
    std::fclose(f);
  }
  return 0;
}

double Child(bool complete, const std::filesystem::path& file) {
  const pid_t pid = fork();
  if (pid == 0) _exit(RunOne(complete, file));
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  double t = -1;
  if (std::FILE* f = std::fopen((file.string() + ".time").c_str(), "r")) {
    if (std::fscanf(f, "%lf", &t) != 1) t = -1;
    std::fclose(f);
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  const auto twenty = dir / "pst_whole_bench_20.pst", complete = dir / "pst_whole_bench_all.pst";
  double best20 = 1e9, bestAll = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const double a = Child(false, twenty), b = Child(true, complete);
    if (a < 0 || b < 0) {
      std::printf("failed\n");
      return 1;
    }
    best20 = std::min(best20, a);
    bestAll = std::min(bestAll, b);
  }
  const double size20 = static_cast<double>(std::filesystem::file_size(twenty));
  const double sizeAll = static_cast<double>(std::filesystem::file_size(complete));
  const double ratio = bestAll / best20;
  std::printf("Unicode, %d contacts, best of %d runs each:\n", kContacts, kRuns);
  std::printf("  first twenty fields: %.3f s, %.1f MB\n", best20, size20 / 1048576);
  std::printf("  every field:         %.3f s, %.1f MB\n", bestAll, sizeAll / 1048576);
  std::printf("  ratio %.2fx (target <= 1.5x) %s\n", ratio, ratio <= 1.5 ? "ok" : "MISSED");
  for (const auto& f : {twenty, complete}) {
    std::filesystem::remove(f);
    std::filesystem::remove(f.string() + ".time");
  }
  return ratio <= 1.5 ? 0 : 2;
}

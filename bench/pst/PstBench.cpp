// Writes 32,766 generated contacts in each format and compares the time
// with copying the finished file, and the peak memory with the file size.
// Each format runs in a child process so its peak memory is its own.
//   pst_bench [directory]      (default: the system's temporary folder)
#include <fcntl.h>
#include <sys/resource.h>
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
constexpr int kRuns = 3;

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Copies a file the plain way, as cp does.
double CopySeconds(const std::filesystem::path& from, const std::filesystem::path& to) {
  auto t0 = std::chrono::steady_clock::now();
  int in = ::open(from.c_str(), O_RDONLY);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> buf(1 << 20);
  ssize_t n;
  while ((n = ::read(in, buf.data(), buf.size())) > 0)
    if (::write(out, buf.data(), static_cast<std::size_t>(n)) != n) break;
  ::close(in);
  ::close(out);
  return Seconds(std::chrono::steady_clock::now() - t0);
}

// Times what the Outlook stand-in does with contacts it has been handed:
// adding them to a store and writing the file.
int RunOne(pst::Format format, const std::filesystem::path& file) {
  std::vector<pst::Contact> contacts;
  contacts.reserve(kContacts);
  for (int i = 0; i < kContacts; ++i) contacts.push_back(GeneratedContact(i, false));
  auto t0 = std::chrono::steady_clock::now();
  pst::Store store(format, "Windows Address Book Contacts", 1252);
  auto folder = store.AddFolder(store.TopOfPersonalFolders(), "WAB Contacts 06-12-2026 03:29:10",
                                "IPF.Contact");
  for (const auto& c : contacts) store.AddContact(folder, c);
  auto t1 = std::chrono::steady_clock::now();
  store.Write(file);
  auto t2 = std::chrono::steady_clock::now();
  std::printf("  adding %.3f s, writing %.3f s, total %.3f s\n", Seconds(t1 - t0), Seconds(t2 - t1),
              Seconds(t2 - t0));
  std::FILE* f = std::fopen((file.string() + ".time").c_str(), "w");
  if (f) {
    std::fprintf(f, "%f\n", Seconds(t2 - t0));
    std::fclose(f);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1])
                                       : std::filesystem::temp_directory_path();
  bool allMet = true;
  for (pst::Format format : {pst::Format::Ansi, pst::Format::Unicode}) {
    const char* name = format == pst::Format::Ansi ? "ANSI" : "Unicode";
    auto file = dir / (std::string("pst_bench_") + name + ".pst");
    std::printf("%s, %d contacts, best of %d runs:\n", name, kContacts, kRuns);
    std::fflush(stdout);
    double total = 1e9, cpu = 1e9, peak = 0;
    for (int run = 0; run < kRuns; ++run) {
      pid_t pid = fork();
      if (pid == 0) {
        int rc = RunOne(format, file);
        std::fflush(stdout);
        _exit(rc);
      }
      int status = 0;
      struct rusage ru{};
      wait4(pid, &status, 0, &ru);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("  failed\n");
        return 1;
      }
      double t = 0;
      if (std::FILE* f = std::fopen((file.string() + ".time").c_str(), "r")) {
        if (std::fscanf(f, "%lf", &t) != 1) t = 0;
        std::fclose(f);
      }
      total = std::min(total, t);
      cpu = std::min(cpu, static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                              static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6);
      peak = std::max(peak, static_cast<double>(ru.ru_maxrss) * 1024.0);
    }
    const double size = static_cast<double>(std::filesystem::file_size(file));
    double copy = 1e9;
    for (int run = 0; run < kRuns; ++run) copy = std::min(copy, CopySeconds(file, dir / "pst_bench_copy.pst"));
    const double peakLimit = 2 * size + 50.0 * 1024 * 1024;
    const bool timeOk = total <= 1.0, ratioOk = total <= 10 * copy, memOk = peak <= peakLimit;
    std::printf("  file %.1f MB; copy %.3f s; ratio %.1fx (target <= 10x) %s\n", size / 1048576,
                copy, total / copy, ratioOk ? "ok" : "MISSED");
    std::printf("  time %.3f s (target <= 1 s) %s; processor time %.3f s (whole process, contacts generated too)\n", total,
                timeOk ? "ok" : "MISSED", cpu);
    std::printf("  peak memory %.1f MB (target <= %.1f MB) %s\n", peak / 1048576,
                peakLimit / 1048576, memOk ? "ok" : "MISSED");
    allMet = allMet && timeOk && ratioOk && memOk;
    std::filesystem::remove(file);
    std::filesystem::remove(file.string() + ".time");
    std::filesystem::remove(dir / "pst_bench_copy.pst");
  }
  return allMet ? 0 : 2;
}

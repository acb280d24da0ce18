// The whole Outlook export against today's twenty-field one, whole
// processes on the same book: 32,766 contacts with every field the book
// format holds set (three e-mail addresses, children, dates), exported by
// addrivo-convert pst-unicode of this build and of a reference build that
// carries the twenty designed fields (scripts/bench.sh builds it from main).
// Runs alternate; best wall and CPU time of each; target: ratio <= 1.5.
//
// Usage: outlook_whole_bench REFERENCE_ADDRIVO_CONVERT [CONTACTS [RUNS]]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

struct Sample {
  double wall = 1e9, cpu = 1e9;
};

bool RunOnce(const std::string& exe, const std::string& book, const std::string& out, const std::string& config,
             Sample& best) {
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
    execl(exe.c_str(), exe.c_str(), "pst-unicode", book.c_str(), out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
  best.wall = std::min(best.wall, wall);
  best.cpu = std::min(best.cpu, cpu);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

testsupport::wab::Record CompleteContact(std::uint32_t id, std::size_t i) {
  using namespace testsupport::wab;
  const std::string n = std::to_string(i);
  std::vector<Property> f;
  const std::pair<std::uint16_t, std::string> texts[] = {
      {0x3001, "Dr. Given" + n + " M Family" + n + " Jr."}, {0x3A45, "Dr."}, {0x3A06, "Given" + n},
      {0x3A44, "M"}, {0x3A11, "Family" + n}, {0x3A05, "Jr."}, {0x3A4F, "Nick" + n},
      {0x3A16, "Company " + std::to_string(i % 500)}, {0x3A18, "Department " + std::to_string(i % 40)},
      {0x3A17, "Engineer"}, {0x3A19, "Room " + n}, {0x3A29, n + " Work Street"}, {0x3A27, "Worktown"},
      {0x3A28, "WS"}, {0x3A2A, "W" + n}, {0x3A26, "Workland"}, {0x3A08, "+1 555 100 " + n},
      {0x3A24, "+1 555 200 " + n}, {0x3A21, "+1 555 500 " + n}, {0x3A51, "http://example.com/" + n},
      {0x3A5D, n + " Home Road"}, {0x3A59, "Hometown"}, {0x3A5C, "HS"}, {0x3A5B, "H" + n},
      {0x3A5A, "Homeland"}, {0x3A09, "+1 555 300 " + n}, {0x3A25, "+1 555 400 " + n},
      {0x3A1C, "+1 555 600 " + n}, {0x3A50, "http://home.example.com/" + n}, {0x3A48, "Spouse" + n},
      {0x3004, "Notes for contact " + n + ".\r\nMet at the conference; prefers e-mail."}};
  for (const auto& [tag, value] : texts) f.push_back(Unicode(tag, value));
  for (auto& p : Emails({"person" + n + "@example.com", "second" + n + "@example.org", "third" + n + "@example.net"},
                        static_cast<std::uint32_t>(i % 3)))
    f.push_back(std::move(p));
  f.push_back(MvUnicode(0x3A58, {"Child A" + n, "Child B" + n}));
  f.push_back(Raw(Tag(0x3A4D, 0x0002), std::string(1, static_cast<char>(1 + i % 2)) + std::string(1, '\0')));
  const std::uint64_t day = 864000000000ull;
  f.push_back(SysTime(0x3A42, (146000 + i % 20000) * day));
  f.push_back(SysTime(0x3A41, (150000 + i % 10000) * day));
  return Contact(id, std::move(f));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: outlook_whole_bench REFERENCE_ADDRIVO_CONVERT [CONTACTS [RUNS]]\n");
    return 2;
  }
  const std::string reference = argv[1];
  const std::size_t contacts = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 32766;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  const std::string ours = ADDRIVO_BINARY_DIR "/bin/addrivo-convert";

  testsupport::TempDir dir;
  // OUTLOOK_WHOLE_BENCH_BOOK: where to leave the book too, for profiling.
  const char* keep = std::getenv("OUTLOOK_WHOLE_BENCH_BOOK");
  const auto book = keep ? std::filesystem::path(keep) : dir / "complete.wab";
  testsupport::wab::Book b;
  for (std::size_t i = 0; i < contacts; ++i) b.records.push_back(CompleteContact(static_cast<std::uint32_t>(3 + i), i));
  testsupport::wab::WriteBookFile(book, b);

  Sample ref, whole;
  for (int i = 0; i < runs; ++i) {
    for (int which = 0; which < 2; ++which) {
      const auto out = dir / ("out" + std::to_string(i) + "-" + std::to_string(which));
      std::filesystem::create_directory(out);
      if (!RunOnce(which ? ours : reference, book.string(), out.string(), (dir / "config").string(),
                   which ? whole : ref)) {
        std::fprintf(stderr, "outlook_whole_bench: %s failed\n", which ? ours.c_str() : reference.c_str());
        return 1;
      }
      std::filesystem::remove_all(out);
    }
  }
  const double wallRatio = whole.wall / ref.wall, cpuRatio = whole.cpu / ref.cpu;
  std::printf("pst-unicode, %zu complete contacts, best of %d runs each:\n", contacts, runs);
  std::printf("  twenty fields (reference): %.3f s wall, %.3f s CPU\n", ref.wall, ref.cpu);
  std::printf("  whole contact:             %.3f s wall, %.3f s CPU\n", whole.wall, whole.cpu);
  std::printf("  ratio %.2fx wall, %.2fx CPU (target <= 1.5x) %s\n", wallRatio, cpuRatio,
              wallRatio <= 1.5 ? "met" : "missed");
  return 0;
}

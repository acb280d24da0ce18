// `addrivo-convert list --all` against `list` on the same generated book of
// 32,766 contacts, both as whole processes in the same run, alternating so
// a busy machine weighs on both alike. Target: list --all at most 1.5 times
// the time of list. Figures only; nothing passes or fails here.
//
//   list_all_bench [COUNT]
//   list_all_bench --write PATH [COUNT]   only write the book, for profiling
#include <sys/wait.h>

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

double RunSeconds(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const auto t1 = std::chrono::steady_clock::now();
  if (status != 0) {
    std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(t1 - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--write") {
    testsupport::WriteGeneratedBook(argv[2], argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 32766);
    return 0;
  }
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32766;
  const std::filesystem::path tool =
      std::filesystem::absolute(argv[0]).parent_path() / "addrivo-convert";
  testsupport::TempDir dir;
  const auto book = dir / "generated.wab";
  testsupport::WriteGeneratedBook(book, count);

  const std::string quoted = testsupport::ShellQuote(book.string());
  const std::string plain = testsupport::ShellQuote(tool.string()) + " list " + quoted + " >/dev/null 2>&1";
  const std::string all = testsupport::ShellQuote(tool.string()) + " list --all " + quoted + " >/dev/null 2>&1";
  const std::string deleted =
      testsupport::ShellQuote(tool.string()) + " list --all --deleted " + quoted + " >/dev/null 2>&1";

  RunSeconds(plain);  // warm the page cache
  std::vector<double> tPlain, tAll, tDeleted;
  for (int r = 0; r < 9; ++r) {
    tPlain.push_back(RunSeconds(plain));
    tAll.push_back(RunSeconds(all));
    tDeleted.push_back(RunSeconds(deleted));
  }
  const double p = Median(tPlain), a = Median(tAll), d = Median(tDeleted);
  std::printf("contacts:                 %zu (%ju bytes)\n", count,
              static_cast<std::uintmax_t>(std::filesystem::file_size(book)));
  std::printf("list (reference):         median %.3f s, best %.3f s\n", p,
              *std::min_element(tPlain.begin(), tPlain.end()));
  std::printf("list --all:               median %.3f s, best %.3f s, ratio %.2f (target <= 1.5)\n", a,
              *std::min_element(tAll.begin(), tAll.end()), a / p);
  std::printf("list --all --deleted:     median %.3f s, ratio %.2f\n", d, d / p);
  return 0;
}

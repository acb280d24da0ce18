// What a user waits for: whole addrivo-convert processes on one generated
// book of 32,766 contacts (in the page cache), each against a reference
// timed in the same run, best of a few runs, ratios printed.
//
//   list          absolute                                   goal <= 0.10 s
//   xls           libxlsxwriter writing the same table       goal <= 0.10x
//                 (.xlsx, values already in memory)
//   pst-unicode   cp of the .pst it wrote                    goal <= 10x
//   pst-ansi      cp of the .pst it wrote                    goal <= 10x
//
// Also the peak memory of each process against the book's size (goal: at
// most 1.2x the book plus a constant): the constant is the peak of the same
// run on a book of one contact, and what the book adds is set against it. Runs alternate with their reference,
// so a machine that gets busier mid-run stretches both. Wall and CPU time are
// both given: on a shared machine the CPU figures are the steadier ones.
// The window's scan of the same book is bench_app_scan.
//
// Usage: whole_process_bench [CONTACTS [RUNS]]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Figures {
  double wall = 1e9, cpu = 1e9;
  long peakKb = 0;
  void Take(double w, double c, long kb) {
    wall = std::min(wall, w);
    cpu = std::min(cpu, c);
    peakKb = std::max(peakKb, kb);
  }
};

// Children are started by a launcher forked while this process is still
// small: a child's peak memory counts the memory of the process it was forked
// from, and this one later holds the whole table for libxlsxwriter.
struct Result {
  int ok = 0;
  double wall = 0, cpu = 0;
  long peakKb = 0;
};

bool ReadAll(int fd, void* p, std::size_t n) {
  auto* b = static_cast<char*>(p);
  while (n > 0) {
    const ssize_t got = read(fd, b, n);
    if (got <= 0) return false;
    b += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const void* p, std::size_t n) {
  const auto* b = static_cast<const char*>(p);
  while (n > 0) {
    const ssize_t put = write(fd, b, n);
    if (put <= 0) return false;
    b += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

Result RunChild(const std::vector<std::string>& argv) {
  const std::string& config = argv[0];
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    std::vector<char*> args;
    for (std::size_t i = 1; i < argv.size(); ++i) args.push_back(const_cast<char*>(argv[i].c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage u{};
  Result r;
  if (pid < 0 || wait4(pid, &status, 0, &u) != pid) return r;
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  r.cpu = u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  r.peakKb = u.ru_maxrss;
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return r;
}

class Launcher {
 public:
  Launcher() {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      close(down[1]);
      close(up[0]);
      // Requests: a count of strings, then each as its length and bytes.
      for (std::uint32_t count = 0; ReadAll(down[0], &count, sizeof count);) {
        std::vector<std::string> argv(count);
        for (auto& a : argv) {
          std::uint32_t len = 0;
          if (!ReadAll(down[0], &len, sizeof len)) _exit(1);
          a.resize(len);
          if (!ReadAll(down[0], a.data(), len)) _exit(1);
        }
        const Result r = RunChild(argv);
        if (!WriteAll(up[1], &r, sizeof r)) _exit(1);
      }
      _exit(0);
    }
    close(down[0]);
    close(up[1]);
    to_ = down[1];
    from_ = up[0];
  }
  ~Launcher() {
    close(to_);
    close(from_);
    waitpid(pid_, nullptr, 0);
  }
  // argv[0] is the XDG_CONFIG_HOME of the child, the rest its command line.
  bool Run(const std::vector<std::string>& argv, Figures& f) {
    // What earlier runs wrote goes to the disk first, so the kernel's
    // writing it out does not take a core from this run.
    ::sync();
    std::uint32_t count = static_cast<std::uint32_t>(argv.size());
    bool ok = WriteAll(to_, &count, sizeof count);
    for (const auto& a : argv) {
      std::uint32_t len = static_cast<std::uint32_t>(a.size());
      ok = ok && WriteAll(to_, &len, sizeof len) && WriteAll(to_, a.data(), len);
    }
    Result r;
    if (!ok || !ReadAll(from_, &r, sizeof r)) return false;
    f.Take(r.wall, r.cpu, r.peakKb);
    return r.ok != 0;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

double CpuSelf() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* const kHeadings[21] = {
    "First Name", "Middle Name", "Last Name", "Email", "Company", "Location", "Website", "Department",
    "Business Street Address", "Business City", "Business Zip/Postal Code", "Business State",
    "Business Country", "Business Phone Number", "Business FAX", "Business Pager",
    "Personal Street Address", "Personal Country", "Personal Phone Number", "Personal FAX", "Comments"};
const char* const kColumnKeys[21] = {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName",
                                     "OfficeLocation", "CompanyURL", "Department", "BusinessAddress",
                                     "City", "Postal", "Province", "Country", "BusinessPhone",
                                     "BusinessFax", "CellPhone", "HomeAddress", "Country", "HomePhone",
                                     "Fax", "Comment"};

std::vector<std::vector<std::string>> ReadTable(const std::string& book) {
  wab::WabReader reader(1252);
  reader.Open(book);
  std::vector<std::vector<std::string>> rows;
  for (std::int32_t i = 0; i < reader.GetCount(); ++i) {
    reader.Select(i);
    std::vector<std::string> row;
    for (const char* key : kColumnKeys) row.push_back(reader.GetValue(key));
    rows.push_back(std::move(row));
  }
  return rows;
}

// libxlsxwriter writing the table the .xls holds: bold heading, then values.
bool WriteXlsx(const std::string& path, const std::vector<std::vector<std::string>>& rows, Figures& f) {
  const auto start = Clock::now();
  const double c0 = CpuSelf();
  lxw_workbook* wb = workbook_new(path.c_str());
  if (!wb) return false;
  lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
  lxw_format* heading = workbook_add_format(wb);
  format_set_bold(heading);
  format_set_font_name(heading, "Verdana");
  format_set_font_size(heading, 11);
  lxw_format* data = workbook_add_format(wb);
  format_set_font_name(data, "Verdana");
  format_set_font_size(data, 10);
  worksheet_set_header(ws, "BIFF 2.1 API");
  for (lxw_col_t c = 0; c < 21; ++c) worksheet_write_string(ws, 0, c, kHeadings[c], heading);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (lxw_col_t c = 0; c < 21; ++c)
      worksheet_write_string(ws, static_cast<lxw_row_t>(r + 1), c, rows[r][c].c_str(), data);
  const bool ok = workbook_close(wb) == LXW_NO_ERROR;
  f.Take(std::chrono::duration<double>(Clock::now() - start).count(), CpuSelf() - c0, 0);
  return ok;
}

std::string Load() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// The one file a fresh folder got.
fs::path OnlyFile(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir)) return e.path();
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t contacts = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32766;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string tool = std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert";
  const std::string cp = "/bin/cp";

  Launcher launcher;
  testsupport::TempDir dir;
  const std::string book = (dir / "bench.wab").string();
  testsupport::WriteGeneratedBook(book, contacts);
  const double bookMb = fs::file_size(book) / 1e6;
  const auto table = ReadTable(book);  // also leaves the book in the page cache
  const std::string config = (dir / "config").string();
  const std::string loadBefore = Load();

  Figures list, xls, xlsx, uni, uniCp, ansi, ansiCp;
  // The process's own footprint: each run on a book of one contact.
  Figures listBase, xlsBase, uniBase, ansiBase;
  const std::string small = (dir / "one.wab").string();
  testsupport::WriteGeneratedBook(small, 1);
  std::uintmax_t uniSize = 0, ansiSize = 0;
  int n = 0;
  auto fail = [](const char* what) {
    std::fprintf(stderr, "whole_process_bench: %s failed\n", what);
    return 1;
  };
  {
    const fs::path out = dir / "small";
    bool ok = launcher.Run({config, tool, "list", small}, listBase);
    for (auto [verb, figures] : {std::pair{"xls", &xlsBase}, {"pst-unicode", &uniBase}, {"pst-ansi", &ansiBase}}) {
      fs::create_directory(out);
      ok = ok && launcher.Run({(dir / ("config-" + std::string(verb))).string(), tool, verb, small, out.string()},
                              *figures);
      fs::remove_all(out);
    }
    if (!ok) return fail("a run on a book of one contact");
  }
  for (int r = 0; r < runs; ++r) {
    if (!launcher.Run({config, tool, "list", book}, list)) return fail("addrivo-convert list");

    const fs::path xlsDir = dir / ("xls" + std::to_string(r));
    fs::create_directory(xlsDir);
    if (!launcher.Run({config, tool, "xls", book, xlsDir.string()}, xls)) return fail("addrivo-convert xls");
    if (!WriteXlsx((dir / "table.xlsx").string(), table, xlsx)) return fail("libxlsxwriter");
    fs::remove_all(xlsDir);

    // A fresh folder and profile for each: names are unique to the second.
    for (auto [verb, own, ref, size] : {std::tuple{"pst-unicode", &uni, &uniCp, &uniSize},
                                        std::tuple{"pst-ansi", &ansi, &ansiCp, &ansiSize}}) {
      const fs::path out = dir / ("out" + std::to_string(n++));
      fs::create_directory(out);
      if (!launcher.Run({(dir / ("config" + std::to_string(n))).string(), tool, verb, book, out.string()}, *own))
        return fail(verb);
      const fs::path pst = OnlyFile(out);
      *size = fs::file_size(pst);
      if (!launcher.Run({config, cp, pst.string(), (dir / "copy.pst").string()}, *ref)) return fail("cp");
      fs::remove(dir / "copy.pst");
      fs::remove_all(out);
    }
  }

  std::printf("book: %zu contacts, %.1f MB; best of %d runs; load average before %s, after %s (%ld cores)\n",
              contacts, bookMb, runs, loadBefore.c_str(), Load().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-12s %22s %34s %15s %8s %24s\n", "run", "Addrivo wall (CPU)", "reference wall (CPU)",
              "ratio wall/CPU", "goal", "peak (one contact), added / book");
  // Met on wall time, or only on CPU time when the machine was busy.
  auto row = [&](const char* name, const Figures& own, const Figures& base, const Figures* ref, const char* refName,
                 const char* goal, bool metWall, bool metCpu) {
    const char* met = metWall ? "met" : metCpu ? "met on CPU" : "MISSED";
    char refText[64] = "-", ratio[32] = "-";
    if (ref) {
      std::snprintf(refText, sizeof refText, "%s %.3f s (%.3f s)", refName, ref->wall, ref->cpu);
      std::snprintf(ratio, sizeof ratio, "%.2f / %.2f", own.wall / ref->wall, own.cpu / std::max(ref->cpu, 1e-3));
    }
    const double added = (own.peakKb - base.peakKb) / 1024.0 / (bookMb / 1.048576);
    std::printf("%-12s %10.3f s (%.3f s) %34s %15s %8s %6.1f MB (%.1f MB) %.2fx %s  %s\n", name, own.wall, own.cpu,
                refText, ratio, goal, own.peakKb / 1024.0, base.peakKb / 1024.0, added,
                added <= 1.2 ? "met" : "MISSED", met);
  };
  row("list", list, listBase, nullptr, "", "<= 0.10 s", list.wall <= 0.10, list.cpu <= 0.10);
  row("xls", xls, xlsBase, &xlsx, "libxlsxwriter", "<= 0.10", xls.wall / xlsx.wall <= 0.10, xls.cpu / xlsx.cpu <= 0.10);
  row("pst-unicode", uni, uniBase, &uniCp, "cp", "<= 10", uni.wall / uniCp.wall <= 10, uni.cpu / uniCp.cpu <= 10);
  row("pst-ansi", ansi, ansiBase, &ansiCp, "cp", "<= 10", ansi.wall / ansiCp.wall <= 10, ansi.cpu / ansiCp.cpu <= 10);
  std::printf("outputs: pst-unicode %.1f MB, pst-ansi %.1f MB\n", uniSize / 1e6, ansiSize / 1e6);
  return 0;
}

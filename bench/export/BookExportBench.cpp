// The whole-book exports against their references, whole processes, same run.
//
// Makes a book of 32,766 generated contacts, then times, best of a few runs:
//   - `addrivo-convert xls`, the designed export, as the reference;
//   - `addrivo-convert vcard`, `vcard --version 4.0`, `csv-outlook`,
//     `csv-google` and `xlsx`, each a whole process;
//   - a separate process of this program that only writes the .xlsx table
//     (the book's every field, one row per contact, a bold heading) through
//     libxlsxwriter in constant-memory mode, values already in memory: the
//     reference for the program's own .xlsx writer (which works on every
//     system, where libxlsxwriter is built for Linux only).
// Prints each figure and the ratios: vcard and csv-* against xls (target at
// most 2x), xlsx against libxlsxwriter alone (target at most 1.5x).
//
// Every export writes a new file each run (a replaced file waits for the
// disk first, which the designed xls export never does).
//
// Usage: [ADDRIVO_CONVERT=TOOL] book_export_bench [CONTACTS [RUNS [KEEP_DIR]]]
//        book_export_bench --xlsx-only BOOK OUT   (the reference process)
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/wab/WabBook.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string DateText(const wab::Date& d) {
  if (!d.valid()) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return text;
}

// The table the xlsx verb writes, as plain texts: every field, the e-mail
// columns, the name, children, gender, dates and groups.
std::vector<std::vector<std::string>> Table(const wab::Book& book) {
  std::size_t emails = 1;
  for (const auto& c : book.contacts) emails = std::max(emails, c.emails.size());
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> heading;
  for (auto key : wab::kFieldKeys) heading.emplace_back(key);
  for (std::size_t i = 0; i < emails; ++i) heading.push_back("E-mail " + std::to_string(i + 1));
  for (const char* h : {"Display Name", "Children", "Gender", "Birthday", "Anniversary", "Groups", "Folder",
                        "Last Modified"})
    heading.emplace_back(h);
  rows.push_back(heading);
  for (const auto& c : book.contacts) {
    std::vector<std::string> row(c.fields.begin(), c.fields.end());
    for (std::size_t i = 0; i < emails; ++i) row.push_back(i < c.emails.size() ? c.emails[i].address : "");
    row.push_back(c.displayName);
    std::string children;
    for (const auto& ch : c.children) children += (children.empty() ? "" : ", ") + ch;
    row.push_back(children);
    row.push_back(c.gender == wab::Gender::Unspecified ? "" : c.gender == wab::Gender::Male ? "Male" : "Female");
    row.push_back(DateText(c.birthday));
    row.push_back(DateText(c.anniversary));
    row.push_back(c.groups.empty() ? "" : "group");
    row.push_back(c.folder ? "folder" : "");
    row.push_back(c.modified ? std::to_string(*c.modified) : "");
    rows.push_back(std::move(row));
  }
  return rows;
}

int XlsxOnly(const char* bookPath, const char* out) {
  const auto table = Table(wab::LoadBook(bookPath));
  const auto t0 = Clock::now();
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(out, &options);
  if (!wb) return 1;
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Contacts");
  lxw_format* bold = workbook_add_format(wb);
  format_set_bold(bold);
  for (std::size_t r = 0; r < table.size(); ++r)
    for (std::size_t c = 0; c < table[r].size(); ++c)
      if (!table[r][c].empty())
        worksheet_write_string(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), table[r][c].c_str(),
                               r == 0 ? bold : nullptr);
  const bool ok = workbook_close(wb) == LXW_NO_ERROR;
  std::printf("%.6f\n", Seconds(Clock::now() - t0));
  return ok ? 0 : 1;
}

struct Figure {
  double wall = 1e9, cpu = 1e9;
};

bool Time(const std::string& command, Figure& f) {
  const auto t0 = Clock::now();
  const double c0 = ChildCpuSeconds();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
  }
  f.wall = std::min(f.wall, Seconds(Clock::now() - t0));
  f.cpu = std::min(f.cpu, ChildCpuSeconds() - c0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--xlsx-only") == 0) return XlsxOnly(argv[2], argv[3]);
  const std::size_t contacts = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32766;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  testsupport::TempDir tmp;
  const std::filesystem::path dir = argc > 3 ? std::filesystem::path(argv[3]) : tmp.path();
  const std::string book = (dir / "bench.wab").string();
  testsupport::WriteGeneratedBook(book, contacts);
  std::printf("book: %zu contacts, %.1f MB\n", contacts, std::filesystem::file_size(book) / 1e6);

  // ADDRIVO_CONVERT: another build's tool to time (an older commit's, say).
  const char* other = std::getenv("ADDRIVO_CONVERT");
  const std::string tool = other && *other ? other : std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert";
  const std::string args = " " + testsupport::ShellQuote(book) + " " + testsupport::ShellQuote(dir.string()) +
                           " >/dev/null 2>&1";
  struct Verb {
    const char* name;
    std::string command;
    Figure figure;
  };
  std::vector<Verb> verbs = {
      {"xls", tool + " xls" + args, {}},
      {"vcard", tool + " vcard" + args, {}},
      {"vcard 4.0", tool + " vcard --version 4.0" + args, {}},
      {"csv-outlook", tool + " csv-outlook" + args, {}},
      {"csv-google", tool + " csv-google" + args, {}},
      {"xlsx", tool + " xlsx" + args, {}},
      {"libxlsxwriter alone", std::string(argv[0]) + " --xlsx-only " + testsupport::ShellQuote(book) + " " +
                                  testsupport::ShellQuote((dir / "alone.xlsx").string()) + " >/dev/null",
       {}},
  };
  // Every run writes a new file, as the xls export does: replacing one
  // would add the wait for the disk that replacing takes.
  for (int i = 0; i < runs; ++i) {
    for (auto& v : verbs) {
      for (const char* name : {"bench.xls", "bench.vcf", "bench.csv", "bench.xlsx"})
        std::filesystem::remove(dir / name);
      if (!Time(v.command, v.figure)) return 1;
    }
  }
  for (const auto& v : verbs)
    std::printf("%-22s %.3f s wall, %.3f s CPU (whole process)\n", v.name, v.figure.wall, v.figure.cpu);
  const Figure& xls = verbs[0].figure;
  std::printf("\nagainst xls (target at most 2x):\n");
  for (std::size_t i = 1; i <= 4; ++i)
    std::printf("  %-12s %.2fx wall, %.2fx CPU\n", verbs[i].name, verbs[i].figure.wall / xls.wall,
                verbs[i].figure.cpu / xls.cpu);
  const Figure& alone = verbs[6].figure;
  std::printf("xlsx against libxlsxwriter alone, whole processes (target at most 1.5x): %.2fx wall, %.2fx CPU\n",
              verbs[5].figure.wall / alone.wall, verbs[5].figure.cpu / alone.cpu);
  // The reference's writing alone, without reading the book, for a closer look.
  double writing = 1e9;
  const std::string command = std::string(argv[0]) + " --xlsx-only " + testsupport::ShellQuote(book) + " " +
                              testsupport::ShellQuote((dir / "alone.xlsx").string());
  for (int i = 0; i < runs; ++i) {
    std::string out;
    if (testsupport::RunCommand(command, &out) == 0) writing = std::min(writing, std::atof(out.c_str()));
  }
  std::printf("  libxlsxwriter writing the table only: %.3f s; xlsx process against it: %.2fx wall\n", writing,
              verbs[5].figure.wall / writing);
  Figure last;
  if (!Time(verbs[5].command, last)) return 1;
  std::printf("  file sizes: xlsx %.2f MB, libxlsxwriter's %.2f MB\n",
              std::filesystem::file_size(dir / "bench.xlsx") / 1e6, std::filesystem::file_size(dir / "alone.xlsx") / 1e6);
  return 0;
}

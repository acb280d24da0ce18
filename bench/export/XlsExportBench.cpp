// addrivo-convert xls against libxlsxwriter on the same table.
//
// Makes a book of 32,766 generated contacts, then times, best of a few runs:
//   - `addrivo-convert xls BOOK OUTDIR`, the whole process: start, reading
//     the book, writing the .xls;
//   - libxlsxwriter writing the same 32,767 x 21 table (bold heading row,
//     values already in memory) as an .xlsx, in this process.
// Prints both figures and their ratio; the target is a ratio of 10 or more.
// For a closer look it also times, in this process, reading the book through
// the reader and ExcelFile writing the in-memory table as libxlsxwriter does.
//
// Usage: xls_export_bench [CONTACTS [RUNS [KEEP_DIR]]]
// With KEEP_DIR the book and both outputs are left there for a closer look.
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "excel/ExcelFile.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

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

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// User plus system time used so far by this process or by its children.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The table as the reader hands it out, row by row.
std::vector<std::vector<std::string>> ReadTable(const std::string& book) {
  wab::WabReader reader;
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

bool WriteXls(const std::string& path, const std::vector<std::vector<std::string>>& rows) {
  excel::ExcelFile file(1252);
  bool ok = file.CreateFile(path) == 0 && file.SetFont("Verdana", 10, 0) == 0 &&
            file.SetFont("Verdana", 11, 1) == 0 && file.SetFont("Verdana", 10, 5) == 0 &&
            file.SetFont("Courier", 16, 3) == 0 && file.SetHeader("BIFF 2.1 API") == 0;
  for (int c = 0; ok && c < 21; ++c) ok = file.WriteValue(2, 64, 1, 0, 1, c + 1, kHeadings[c], 0) == 0;
  for (std::size_t r = 0; ok && r < rows.size(); ++r)
    for (int c = 0; ok && c < 21; ++c)
      ok = file.WriteValue(2, 0, 1, 0, static_cast<std::int32_t>(r + 2), c + 1, rows[r][c], 0) == 0;
  return ok && file.CloseFile() == 0;
}

bool WriteXlsx(const std::string& path, const std::vector<std::vector<std::string>>& rows) {
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
  return workbook_close(wb) == LXW_NO_ERROR;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t contacts = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32766;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  testsupport::TempDir tmp;
  const std::filesystem::path dir = argc > 3 ? std::filesystem::path(argv[3]) : tmp.path();
  const std::string book = (dir / "bench.wab").string();
  testsupport::WriteGeneratedBook(book, contacts);
  auto t0 = Clock::now();
  double c0 = CpuSeconds(RUSAGE_SELF);
  const auto table = ReadTable(book);
  const double readWall = Seconds(Clock::now() - t0), readCpu = CpuSeconds(RUSAGE_SELF) - c0;
  std::printf("book: %zu contacts, %.1f MB\n", table.size(),
              std::filesystem::file_size(book) / 1e6);

  const std::string tool = std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert";
  const std::string command = tool + " xls " + testsupport::ShellQuote(book) + " " +
                              testsupport::ShellQuote(dir.string()) + " >/dev/null 2>&1";
  // Best of the runs, wall-clock and CPU: on a shared machine the CPU
  // figures are the steadier ones.
  double xls = 1e9, xlsx = 1e9, xlsCpu = 1e9, xlsxCpu = 1e9, mem = 1e9, memCpu = 1e9;
  for (int i = 0; i < runs; ++i) {
    // Each run makes a new file, the usual case (a replaced one is synced).
    std::filesystem::remove(dir / "bench.xls");
    std::filesystem::remove(dir / "memory.xls");
    auto t0 = Clock::now();
    double c0 = CpuSeconds(RUSAGE_CHILDREN);
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "addrivo-convert xls failed\n");
      return 1;
    }
    xls = std::min(xls, Seconds(Clock::now() - t0));
    xlsCpu = std::min(xlsCpu, CpuSeconds(RUSAGE_CHILDREN) - c0);

    t0 = Clock::now();
    c0 = CpuSeconds(RUSAGE_SELF);
    if (!WriteXlsx((dir / "bench.xlsx").string(), table)) {
      std::fprintf(stderr, "libxlsxwriter failed\n");
      return 1;
    }
    xlsx = std::min(xlsx, Seconds(Clock::now() - t0));
    xlsxCpu = std::min(xlsxCpu, CpuSeconds(RUSAGE_SELF) - c0);

    t0 = Clock::now();
    c0 = CpuSeconds(RUSAGE_SELF);
    if (!WriteXls((dir / "memory.xls").string(), table)) {
      std::fprintf(stderr, "ExcelFile failed\n");
      return 1;
    }
    mem = std::min(mem, Seconds(Clock::now() - t0));
    memCpu = std::min(memCpu, CpuSeconds(RUSAGE_SELF) - c0);
  }
  // Replacing the workbook: written, synced to the disk, renamed over the old one.
  const std::string replace = tool + " xls --force " + testsupport::ShellQuote(book) + " " +
                              testsupport::ShellQuote(dir.string()) + " >/dev/null 2>&1";
  double replaced = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    if (std::system(replace.c_str()) != 0) {
      std::fprintf(stderr, "addrivo-convert xls --force failed\n");
      return 1;
    }
    replaced = std::min(replaced, Seconds(Clock::now() - t0));
  }
  std::printf("addrivo-convert xls (whole process): %.3f s wall, %.3f s CPU, %.1f MB\n", xls, xlsCpu,
              std::filesystem::file_size(dir / "bench.xls") / 1e6);
  std::printf("  the same replacing the workbook:   %.3f s wall (%.2fx the new file)\n", replaced, replaced / xls);
  std::printf("libxlsxwriter .xlsx (writing only):   %.3f s wall, %.3f s CPU, %.1f MB\n", xlsx, xlsxCpu,
              std::filesystem::file_size(dir / "bench.xlsx") / 1e6);
  std::printf("ratio: %.1fx wall, %.1fx CPU (target >= 10x)\n", xlsx / xls, xlsxCpu / xlsCpu);
  std::printf("\nin this process:\n");
  std::printf("  reading the book through the reader:   %.3f s wall, %.3f s CPU\n", readWall, readCpu);
  std::printf("  ExcelFile writing the same table:      %.3f s wall, %.3f s CPU\n", mem, memCpu);
  std::printf("  libxlsxwriter against ExcelFile:       %.1fx wall, %.1fx CPU\n", xlsx / mem, xlsxCpu / memCpu);
  return 0;
}

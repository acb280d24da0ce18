// addrivo-convert xls against libxlsxwriter on the same table.
//
// Makes a book of 32,766 generated contacts, then times, best of a few runs:
//   - `addrivo-convert xls BOOK OUTDIR`, the whole process: start, reading
//     the book, writing the .xls;
//   - libxlsxwriter writing the same 32,767 x 21 table (bold heading row,
//     values already in memory) as an .xlsx, in this process.
// Prints both figures and their ratio; the target is a ratio of 10 or more.
//
// Usage: xls_export_bench [CONTACTS [RUNS]]
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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
  testsupport::TempDir dir;
  const std::string book = (dir / "bench.wab").string();
  testsupport::WriteGeneratedBook(book, contacts);
  const auto table = ReadTable(book);
  std::printf("book: %zu contacts, %.1f MB\n", table.size(),
              std::filesystem::file_size(book) / 1e6);

  const std::string tool = std::string(ADDRIVO_BINARY_DIR) + "/bin/addrivo-convert";
  const std::string command = tool + " xls " + testsupport::ShellQuote(book) + " " +
                              testsupport::ShellQuote(dir.path().string()) + " >/dev/null 2>&1";
  double xls = 1e9, xlsx = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "addrivo-convert xls failed\n");
      return 1;
    }
    xls = std::min(xls, Seconds(Clock::now() - t0));

    t0 = Clock::now();
    if (!WriteXlsx((dir / "bench.xlsx").string(), table)) {
      std::fprintf(stderr, "libxlsxwriter failed\n");
      return 1;
    }
    xlsx = std::min(xlsx, Seconds(Clock::now() - t0));
  }
  std::printf("addrivo-convert xls (whole process): %.3f s, %.1f MB\n", xls,
              std::filesystem::file_size(dir / "bench.xls") / 1e6);
  std::printf("libxlsxwriter .xlsx (writing only):   %.3f s, %.1f MB\n", xlsx,
              std::filesystem::file_size(dir / "bench.xlsx") / 1e6);
  std::printf("ratio: %.1fx (target >= 10x)\n", xlsx / xls);
  return 0;
}

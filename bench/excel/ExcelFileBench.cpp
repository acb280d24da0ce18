// How fast ExcelFile writes an export-sized sheet (32,766 contacts x 21 text
// cells), against writing the same bytes in one buffered write, and against
// libxlsxwriter writing the same table as .xlsx. Also the heap the writer
// holds, which must not grow with the number of rows.
//
//   build/default/bin/excel_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "excel/ExcelFile.h"

// Heap accounting, to show the writer's memory does not depend on the rows.
namespace {
std::atomic<std::size_t> gLive{0}, gPeak{0}, gAllocations{0};
}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  std::size_t live = gLive += n;
  std::size_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  ++gAllocations;
  return static_cast<char*>(p) + 16;
}
// operator delete gives back what operator new took from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  gLive -= *reinterpret_cast<std::size_t*>(base);
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

namespace fs = std::filesystem;

constexpr int kContacts = 32766;  // the most rows the export can address
constexpr int kColumns = 21;

const char* kHeadings[kColumns] = {
    "First Name", "Middle Name", "Last Name", "Email", "Company", "Location", "Website",
    "Department", "Business Street Address", "Business City", "Business Zip/Postal Code",
    "Business State", "Business Country", "Business Phone Number", "Business FAX",
    "Business Pager", "Personal Street Address", "Personal Country", "Personal Phone Number",
    "Personal FAX", "Comments"};

// Contacts that look like real address books: short names, some with
// accented letters, many empty fields, longer addresses and comments.
std::vector<std::vector<std::string>> MakeContacts(int rows) {
  std::mt19937 rng(1508);
  auto pick = [&](std::initializer_list<const char*> list) {
    return std::string(list.begin()[rng() % list.size()]);
  };
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  auto maybe = [&](int percent, std::string s) { return static_cast<int>(rng() % 100) < percent ? s : ""; };
  std::vector<std::vector<std::string>> table;
  table.reserve(rows);
  for (int r = 0; r < rows; ++r) {
    std::string first = pick({"Anna", "Jürgen", "Zoë", "Michael", "François", "Sarah", "Björn",
                              "Elizabeth", "José", "Tom", "Margarethe", "Li"});
    std::string last = pick({"Müller", "Smith", "Brontë", "Johansson", "García", "Weiß",
                             "O'Brien", "Nakamura", "van der Berg", "Kowalski"});
    std::string company = pick({"Acme Corporation", "Müller & Söhne GmbH", "Northwind Traders",
                                "Contoso Ltd", "Café „Zur Post“", "Fabrikam, Inc."});
    std::string city = pick({"Berlin", "München", "London", "New York", "Zürich", "Paris"});
    std::string country = pick({"Germany", "United Kingdom", "United States", "Switzerland", "France"});
    table.push_back({
        first, maybe(20, pick({"A.", "Marie", "J."})), last,
        first + "." + std::to_string(r) + "@example.com", maybe(70, company),
        maybe(30, "Building " + digits(2)), maybe(40, "http://www.example.com/" + digits(4)),
        maybe(40, pick({"Sales", "Accounting", "Research & Development", "Support"})),
        maybe(70, digits(3) + " " + pick({"Hauptstraße", "Main Street", "Rue de la Paix"})),
        maybe(70, city), maybe(70, digits(5)), maybe(50, pick({"Bavaria", "CA", "NY", "Zürich"})),
        maybe(70, country), maybe(80, "+49 " + digits(3) + " " + digits(7)),
        maybe(30, "+49 " + digits(3) + " " + digits(7)), maybe(60, "+49 17" + digits(8)),
        maybe(50, digits(2) + " " + pick({"Oak Avenue", "Lindenweg", "Elm Street"})), country,
        maybe(50, "+49 " + digits(3) + " " + digits(6)), maybe(10, digits(10)),
        maybe(25, pick({"Met at the trade fair in Köln; prefers e-mail.",
                        "Old address, ask before sending anything.",
                        "Birthday 12 May. Likes espresso – strong, no sugar."}))});
  }
  return table;
}

const std::vector<std::vector<std::string>>& Contacts() {
  static const auto table = MakeContacts(kContacts);
  return table;
}

// User and system processor time of this process so far, in milliseconds.
std::pair<double, double> ProcessorTimes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {ms(u.ru_utime), ms(u.ru_stime)};
}

void ReportProcessorTimes(benchmark::State& state, std::pair<double, double> before) {
  auto after = ProcessorTimes();
  const double n = static_cast<double>(state.iterations());
  state.counters["user_ms"] = (after.first - before.first) / n;
  state.counters["sys_ms"] = (after.second - before.second) / n;
}

fs::path Scratch(const char* name) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("addrivo-excel-bench-" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir / name;
}

// The export's calls, as the spreadsheet export makes them.
void WriteWorkbook(const fs::path& path, int rows) {
  excel::ExcelFile x(1252);
  x.CreateFile(path);
  x.SetFont("Verdana", 10, 0);
  x.SetFont("Verdana", 11, 1);
  x.SetFont("Verdana", 10, 5);
  x.SetFont("Courier", 16, 3);
  x.SetHeader("BIFF 2.1 API");
  for (int c = 0; c < kColumns; ++c) x.WriteValue(2, 64, 1, 0, 1, c + 1, kHeadings[c], 0);
  const auto& table = Contacts();
  for (int r = 0; r < rows; ++r) {
    const auto& row = table[r];
    for (int c = 0; c < kColumns; ++c) x.WriteValue(2, 0, 1, 0, r + 2, c + 1, row[c], 0);
  }
  if (x.CloseFile() != 0) std::abort();
}

void BM_ExcelFile(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  Contacts();
  const fs::path path = Scratch("excelfile.xls");
  std::size_t peakAbove = 0, allocations = 0;
  const auto times = ProcessorTimes();
  for (auto _ : state) {
    std::size_t before = gLive.load();
    gPeak = before;
    std::size_t allocsBefore = gAllocations.load();
    WriteWorkbook(path, rows);
    peakAbove = gPeak.load() - before;
    allocations = gAllocations.load() - allocsBefore;
  }
  ReportProcessorTimes(state, times);
  const auto bytes = fs::file_size(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.counters["heap_peak_bytes"] = static_cast<double>(peakAbove);
  state.counters["heap_allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_ExcelFile)->Arg(1000)->Arg(8000)->Arg(kContacts)->Unit(benchmark::kMillisecond);

// The same bytes in one buffered write: the floor for any writer of them.
std::string WrittenBytes() {
  static const std::string bytes = [] {
    WriteWorkbook(Scratch("reference.xls"), kContacts);
    std::string b(fs::file_size(Scratch("reference.xls")), '\0');
    FILE* f = std::fopen(Scratch("reference.xls").c_str(), "rb");
    if (!f || std::fread(b.data(), 1, b.size(), f) != b.size()) std::abort();
    std::fclose(f);
    return b;
  }();
  return bytes;
}

void BM_RawWrite(benchmark::State& state) {
  const std::string bytes = WrittenBytes();
  const fs::path path = Scratch("raw.xls");
  const bool synced = state.range(0) != 0;
  const auto times = ProcessorTimes();
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    // For reference: what waiting for the disk would add (ExcelFile does not).
    if (synced && (std::fflush(f) != 0 || fsync(fileno(f)) != 0)) std::abort();
    std::fclose(f);
  }
  ReportProcessorTimes(state, times);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_RawWrite)->ArgName("synced")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Only reading the contacts: every text copied once into a small buffer.
// What any writer fed from these strings pays before it writes a byte.
void BM_ReadContacts(benchmark::State& state) {
  const auto& table = Contacts();
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::size_t used = 0;
    for (const auto& row : table) {
      for (const auto& field : row) {
        if (used + field.size() > buffer.size()) used = 0;
        std::memcpy(buffer.data() + used, field.data(), field.size());
        used += field.size();
      }
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ReadContacts)->Unit(benchmark::kMillisecond);

// The LABEL records alone, assembled in a small buffer with no checks, no
// code page and no file: the floor for building these records at all.
void BM_BareLabels(benchmark::State& state) {
  const auto& table = Contacts();
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::size_t used = 0;
    std::uint16_t r = 1;
    for (const auto& row : table) {
      std::uint16_t c = 0;
      for (const auto& field : row) {
        if (used + 12 + field.size() > buffer.size()) used = 0;
        char* p = buffer.data() + used;
        const unsigned char h[12] = {4, 0, static_cast<unsigned char>(field.size() + 8), 0,
                                     static_cast<unsigned char>(r), static_cast<unsigned char>(r >> 8),
                                     static_cast<unsigned char>(c), 0, 0, 0, 1,
                                     static_cast<unsigned char>(field.size())};
        std::memcpy(p, h, 12);
        std::memcpy(p + 12, field.data(), field.size());
        used += 12 + field.size();
        ++c;
      }
      ++r;
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BareLabels)->Unit(benchmark::kMillisecond);

void BM_Xlsxwriter(benchmark::State& state) {
  const auto& table = Contacts();
  const fs::path path = Scratch("xlsxwriter.xlsx");
  for (auto _ : state) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;  // streams rows, as ExcelFile does
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    lxw_format* heading = workbook_add_format(wb);
    format_set_bold(heading);
    format_set_font_name(heading, "Verdana");
    format_set_font_size(heading, 11);
    format_set_align(heading, LXW_ALIGN_LEFT);
    lxw_format* data = workbook_add_format(wb);
    format_set_font_name(data, "Verdana");
    format_set_font_size(data, 10);
    format_set_align(data, LXW_ALIGN_LEFT);
    worksheet_set_header(ws, "BIFF 2.1 API");
    for (int c = 0; c < kColumns; ++c) worksheet_write_string(ws, 0, c, kHeadings[c], heading);
    for (int r = 0; r < kContacts; ++r)
      for (int c = 0; c < kColumns; ++c)
        worksheet_write_string(ws, r + 1, c, table[r][c].c_str(), data);
    if (workbook_close(wb) != LXW_NO_ERROR) std::abort();
  }
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(path));
}
BENCHMARK(BM_Xlsxwriter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(Scratch("x").parent_path(), ec);
  return 0;
}

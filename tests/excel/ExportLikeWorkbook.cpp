#include "excel/ExportLikeWorkbook.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "excel/ExcelFile.h"
#include "support/TestData.h"

namespace exceltest {
namespace {

const char* kHeadings[21] = {
    "First Name", "Middle Name", "Last Name", "Email", "Company", "Location", "Website",
    "Department", "Business Street Address", "Business City", "Business Zip/Postal Code",
    "Business State", "Business Country", "Business Phone Number", "Business FAX",
    "Mobile Phone", "Personal Street Address", "Personal Country", "Personal Phone Number",
    "Personal FAX", "Comments"};

Cell Text(int row, int col, std::string text, std::string expected = "\x01", int font = 0) {
  Cell c{row, col, 2, text, expected == "\x01" ? text : expected};
  c.font = font;
  return c;
}

std::string Repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

Workbook ExportLikeWorkbook(Script script) {
  Workbook b;
  for (int c = 0; c < 21; ++c) b.cells.push_back(Text(1, c + 1, kHeadings[c], "\x01", 1));

  // One contact in the script; the expected text shows "?" for characters
  // the code page lacks.
  std::vector<std::pair<std::string, std::string>> contact;
  std::string longText;
  switch (script) {
    case Script::Western:
      b.codePage = 1252;
      contact = {{"Zoë", ""}, {"Jürgen", ""}, {"Weiß-Œhlers", ""}, {"zoe@example.com", ""},
                 {"„Café“ GmbH – € 5", ""}, {"Straße 1", ""}, {"Łódź Жук", "?ód? ???"}};
      longText = Repeat("é", 10) + std::string(245, 'x');
      break;
    case Script::Cyrillic:
      b.codePage = 1251;
      contact = {{"Иван", ""}, {"Петрович", ""}, {"Сидоров", ""}, {"ivan@example.ru", ""},
                 {"ООО «Ромашка» € 5", ""}, {"Москва, ул. Тверская", ""}, {"Straße 日", "Stra?e ?"}};
      longText = Repeat("Я", 255);
      break;
    case Script::Japanese:
      b.codePage = 932;
      contact = {{"太郎", ""}, {"", ""}, {"山田", ""}, {"taro@example.jp", ""},
                 {"株式会社カタカナ ｶﾀｶﾅ", ""}, {"東京都千代田区", ""}, {"Zoë 한", "Zo? ?"}};
      longText = Repeat("日", 127) + "a";
      break;
  }
  for (std::size_t i = 0; i < contact.size(); ++i) {
    auto& [in, out] = contact[i];
    b.cells.push_back(Text(2, static_cast<int>(i) + 1, in, out.empty() ? in : out));
  }
  for (int c = static_cast<int>(contact.size()) + 1; c <= 21; ++c) b.cells.push_back(Text(2, c, ""));
  for (int c = 1; c <= 21; ++c) b.cells.push_back(Text(3, c, ""));  // an all-empty contact
  for (int c = 1; c <= 20; ++c) b.cells.push_back(Text(4, c, "r4c" + std::to_string(c)));
  b.cells.push_back(Text(4, 21, longText));

  Cell integer{5, 1, 0, "", "", 4711};
  integer.font = 2;
  integer.format = 3;  // #,##0
  Cell negative{5, 2, 0, "", "", -42};
  Cell number{5, 3, 1, "", "", 3.25};
  number.font = 3;
  number.format = 2;  // 0.00
  b.cells.insert(b.cells.end(), {integer, negative, number, Text(5, 4, "after the numbers")});
  return b;
}

std::string WriteWorkbook(const Workbook& book, const std::filesystem::path& xls,
                          const std::filesystem::path& json) {
  excel::ExcelFile x;  // the user's locale decides the code page
  if (x.codePage() != book.codePage)
    return "code page " + std::to_string(x.codePage()) + ", expected " +
           std::to_string(book.codePage);
  std::ostringstream err;
  auto check = [&](excel::Status s, const std::string& what) {
    if (s != 0) err << what << " returned " << s << "\n";
  };
  check(x.CreateFile(xls), "CreateFile");
  check(x.SetFont("Verdana", 10, 0), "SetFont 0");
  check(x.SetFont("Verdana", 11, 1), "SetFont 1");
  check(x.SetFont("Verdana", 10, 5), "SetFont 2");
  check(x.SetFont("Courier", 16, 3), "SetFont 3");
  check(x.SetHeader("BIFF 2.1 API"), "SetHeader");
  for (const Cell& c : book.cells) {
    excel::Value v = c.valueType == 2 ? excel::Value(c.text) : excel::Value(c.number);
    check(x.WriteValue(c.valueType, excel::CellFont(c.font), excel::kAlignLeft, 0, c.row, c.col, v,
                       c.format),
          "WriteValue row " + std::to_string(c.row) + " col " + std::to_string(c.col));
  }
  check(x.CloseFile(), "CloseFile");

  std::ofstream out(json, std::ios::binary);
  out << "{\"codepage\": " << book.codePage << ", \"cells\": [\n";
  for (std::size_t i = 0; i < book.cells.size(); ++i) {
    const Cell& c = book.cells[i];
    out << "{\"row\": " << c.row - 1 << ", \"col\": " << c.col - 1 << ", \"font\": " << c.font
        << ", \"format\": " << c.format << ", ";
    if (c.valueType == 2) out << "\"text\": " << JsonString(c.expected);
    else out << "\"number\": " << c.number;
    out << "}" << (i + 1 < book.cells.size() ? ",\n" : "\n");
  }
  out << "]}\n";
  if (!out) err << "cannot write " << json << "\n";
  return err.str();
}

std::string PythonWithXlrd() {
  // Debian's python3-xlrd lives with the system interpreter; a python3
  // earlier on PATH (pyenv, venv) may lack it.
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    if (testsupport::RunCommand(std::string(py) + " -c 'import xlrd' 2>/dev/null") == 0) return py;
  }
  return "";
}

int RunChecker(const std::string& mode, const std::filesystem::path& xls,
               const std::filesystem::path& json, const std::string& locale, std::string* out) {
  std::string py = PythonWithXlrd();
  if (py.empty()) py = "python3";
  const std::string script = std::string(ADDRIVO_SOURCE_DIR) + "/tests/excel/check_xls.py";
  std::string cmd = "LC_ALL=" + testsupport::ShellQuote(locale) + " " + py + " " +
                    testsupport::ShellQuote(script) + " " + mode + " " +
                    testsupport::ShellQuote(xls.string()) + " " +
                    testsupport::ShellQuote(json.string()) + " 2>&1";
  int rc = testsupport::RunCommand(cmd, out);
  return rc == 127 ? 77 : rc;  // no python at all: the reader is missing too
}

}  // namespace exceltest

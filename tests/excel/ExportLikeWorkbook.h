// A workbook like the spreadsheet export's: its four fonts and header, a
// bold heading row of 21 texts, contact rows in one script, empty cells, a
// 255-byte text and number cells. Written with ExcelFile together with a
// JSON file of what a reader must find, for tests/excel/check_xls.py.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace exceltest {

enum class Script { Western, Cyrillic, Japanese };

struct Cell {
  int row;  // 1-based, as WriteValue takes it
  int col;
  int valueType;  // 0 integer, 1 number, 2 text
  std::string text;      // UTF-8 input for text cells
  std::string expected;  // what a reader shows, UTF-8
  double number = 0;
  int font = 0;
  int format = 0;
};

struct Workbook {
  int codePage;
  std::vector<Cell> cells;
};

Workbook ExportLikeWorkbook(Script script);

// Writes the .xls through ExcelFile (the code page of the user's locale) and
// the expectations beside it as JSON. Returns "" or what went wrong.
std::string WriteWorkbook(const Workbook& book, const std::filesystem::path& xls,
                          const std::filesystem::path& json);

// The python interpreter that has xlrd, or "" when none has.
std::string PythonWithXlrd();

// Runs tests/excel/check_xls.py with a mode (xlrd, ssconvert, soffice);
// returns its exit status (77: the reader is not installed) and puts its
// output into out.
int RunChecker(const std::string& mode, const std::filesystem::path& xls,
               const std::filesystem::path& json, const std::string& locale, std::string* out);

}  // namespace exceltest

// Where an export's output goes: the folder the user chose and a file name
// derived from the address book's name.
#pragma once

#include <string>
#include <string_view>

namespace exports {

// The text after the last separator, "/" or "\" (a path typed on Windows
// separates with "\"), so an output name never climbs out of its folder.
// The whole path when it has neither; "" when it ends with one.
std::string GetFileName(const std::string& path);

// The folder with "/" appended unless it already ends with a separator.
std::string WithTrailingSeparator(const std::string& folder);

// Lower case by Unicode's simple case mapping; bytes that are not UTF-8
// stay as they are.
std::string ToLowerUtf8(const std::string& text);

// The name every output file is made from: the book's file name in lower
// case without its ".wab" extension (only the last one, only of the file
// name: folders' names count for nothing). Leading dots go, so the output
// is never a hidden file, and a name left empty (".wab") becomes "contacts".
std::string OutputStem(const std::string& bookPath);

// Whether the book's file name ends with ".wab", in any case.
bool HasBookExtension(const std::string& bookPath);

// The workbook's file name for an address book path: OutputStem with
// ".xls"; a name without ".wab" keeps its own extension before it, so the
// output can never be the book itself.
std::string SpreadsheetFileName(const std::string& bookPath);

// The same with any extension (".vcf", ".csv", ".xlsx").
std::string ExportFileName(const std::string& bookPath, std::string_view extension);

}  // namespace exports

// The spreadsheet export: every contact of an address book, read afresh
// through the reader component, into a one-sheet .xls workbook with a bold
// heading row. The conversion dialog and `addrivo-convert xls` both run it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Completion.h"
#include "ExportProgress.h"
#include "ExportResult.h"
#include "SheetWriter.h"

namespace exports {

// Below the heading row a sheet holds 65,535 rows (row numbers end at 65,536).
inline constexpr std::int32_t kMaxSpreadsheetContacts = 65535;
// Rows past this are dropped by Gnumeric, refused by xlrd, unseen by old Excel.
inline constexpr std::int32_t kRowsEveryReaderShows = 16384;
// The longest text a cell holds, in bytes of the writer's code page.
inline constexpr std::size_t kMaxCellBytes = 255;

using SheetWriterFactory = std::function<std::unique_ptr<SheetWriter>()>;

// The writer the program uses: ExcelFile, in the user's ANSI code page.
// Empty when this build has no spreadsheet writer.
SheetWriterFactory DefaultSheetWriterFactory();

// Exports the book at bookPath (the file box's text, untrimmed) into folder,
// which ends with a separator. Never throws for a failure of the reader or
// the writer: the result says what went wrong, and no output file is left.
// A workbook of that name is replaced only when consent agrees; otherwise
// the result is not completed, declined, and nothing is written.
// codePage: of the book's 8-bit texts; 0 for the locale's or a guess
// (ChooseBookCodePage).
ExportResult ExportToSpreadsheet(const std::string& bookPath, const std::string& folder,
                                 SheetWriter& writer, ExportProgress* progress = nullptr,
                                 const ReplaceConsent& consent = {}, int codePage = 0);

// The same with a new writer from the factory (the default one when empty).
ExportResult ExportToSpreadsheet(const std::string& bookPath, const std::string& folder,
                                 ExportProgress* progress = nullptr,
                                 const SheetWriterFactory& factory = {},
                                 const ReplaceConsent& consent = {}, int codePage = 0);

}  // namespace exports

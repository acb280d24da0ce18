// One way into every export, for the conversion dialog and addrivo-convert
// alike: a format, the book and the folder in, one outcome out. A new
// format is one row of kExportFormats, its fields in ExportRequest and its
// case in RunExport; the dialog shows it as one more option and the
// command-line tool as one more verb.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "BookExport.h"
#include "Completion.h"
#include "ExportProgress.h"
#include "SpreadsheetExport.h"
#include "VCardWriter.h"

namespace exports {

enum class ExportFormat { OutlookAnsi, OutlookUnicode, Excel, VCard, CsvOutlook, CsvGoogle, Xlsx };

// Where an export puts what it makes: a file in a folder the user picks,
// or somewhere of its own (a server), which needs no folder.
enum class Destination { Folder, Elsewhere };

struct ExportFormatInfo {
  ExportFormat format;
  std::string_view verb;  // addrivo-convert's verb
  Destination destination;
};

inline constexpr std::array<ExportFormatInfo, 7> kExportFormats{{
    {ExportFormat::OutlookAnsi, "pst-ansi", Destination::Folder},
    {ExportFormat::OutlookUnicode, "pst-unicode", Destination::Folder},
    {ExportFormat::Excel, "xls", Destination::Folder},
    {ExportFormat::VCard, "vcard", Destination::Folder},
    {ExportFormat::CsvOutlook, "csv-outlook", Destination::Folder},
    {ExportFormat::CsvGoogle, "csv-google", Destination::Folder},
    {ExportFormat::Xlsx, "xlsx", Destination::Folder},
}};

// The row of a format; every format has one.
const ExportFormatInfo& InfoOf(ExportFormat format);
// The format of a verb, or nullptr.
const ExportFormatInfo* FormatOfVerb(std::string_view verb);

struct ExportRequest {
  ExportFormat format = ExportFormat::Excel;
  std::string bookPath;  // as the file box or the command line holds it, untrimmed
  std::string folder;    // the chosen folder; a separator is added when missing
  ReplaceConsent replace;             // asked when the file exists; empty: never replace
  ExportProgress* progress = nullptr;  // none: no progress shown
  SheetWriterFactory sheetWriter;      // Excel: the program's ExcelFile when empty
  VCardOptions vcard;                  // VCard
  bool keepBookUntilExit = false;      // the book exports: see BookExportRequest
};

// How an export ended, the same for every format.
struct ExportOutcome {
  enum class Status {
    Written,   // the output is complete under its name
    Declined,  // the output existed and was kept; nothing was written
    Failed,    // nothing under the output's name; cause says why
  };
  Status status = Status::Failed;
  std::int32_t contacts = 0;  // contacts written
  std::string outputPath;
  std::string title;    // the message box's title: kCompletionTitle or kFailureTitle
  std::string message;  // the completion or failure text; lines separated by "\r\n"
  std::string cause;    // Failed: what went wrong (also in the message)
  LossReport loss;      // what could not travel (also in the message)

  bool written() const { return status == Status::Written; }
};

// Runs one export. Never throws: every failure is an outcome.
ExportOutcome RunExport(const ExportRequest& request);

// The outcome of a result of the spreadsheet or book exports.
ExportOutcome OutcomeOf(const ExportResult& result);

}  // namespace exports

// The exports of the whole book: vCard, CSV for Outlook, CSV for Google
// Contacts and an Excel workbook (.xlsx). Each reads the book a contact at a
// time (never holding them all), writes one file named after the book into
// the chosen folder, and ends as the designed exports do: nothing partial
// under the final name, no success message on failure, an existing file
// replaced only with consent, and a completion message that names whatever
// could not travel. No Qt: the conversion dialog and addrivo-convert both
// run it.
#pragma once

#include <string>

#include "Completion.h"
#include "ExportProgress.h"
#include "SpreadsheetExport.h"
#include "VCardWriter.h"

namespace exports {

enum class BookFormat { VCard, CsvOutlook, CsvGoogle, Xlsx };

struct BookExportRequest {
  std::string bookPath;  // as the file box or the command line holds it
  std::string folder;    // the chosen folder; a "/" is added when missing
  BookFormat format = BookFormat::VCard;
  VCardOptions vcard;             // for BookFormat::VCard
  ReplaceConsent replace;         // asked when the file exists; empty: never replace
  ExportProgress* progress = nullptr;
  // For a process that ends right after the export (the command-line tool):
  // the opened book (its mapping and outline) is left to the system at exit
  // instead of being given back piece by piece.
  bool keepBookUntilExit = false;
  // The code page the book's 8-bit texts are read in; 0: the user's ANSI page.
  int codePage = 0;
};

// The file's name for a book path and format: the book's name in lower case
// with ".wab" made ".vcf", ".csv" or ".xlsx", as the designed workbook's name
// is derived.
std::string BookFileName(const std::string& bookPath, BookFormat format);

// Runs the export. Never throws: a book that cannot be read, a folder that
// cannot be written or a refused replacement comes back as the failure text.
ExportResult ExportBook(const BookExportRequest& request);

}  // namespace exports

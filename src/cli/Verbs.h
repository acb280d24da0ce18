// The verbs of addrivo-convert. Each returns the process exit code:
// 0 success, 1 failure (message on standard error), 2 usage error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Completion.h"

namespace wab {
class WabFile;
}

namespace cli {

// BOOK.wab OUTDIR of an export verb, with --force.
struct ExportArguments {
  std::string book, folder;
  bool force = false;  // replace an output file that exists
  int codePage = 0;    // --codepage N: the book's 8-bit texts; 0 for the locale's
};

// The N of "--codepage N" when it names a code page this system converts;
// else false with the reason in why.
bool ParseCodePage(const std::string& text, int& codePage, std::string& why);

// False for a usage error: not two names, an empty one, an unknown option.
bool ParseExportArguments(const std::vector<std::string>& args, ExportArguments& out);

// The command line's answer to "replace it?": --force.
exports::ReplaceConsent ForceConsent(bool force);
// Whether a folder is there under the UTF-8 name.
bool IsFolder(const std::string& path);
// Why OUTDIR cannot take the output ("... does not exist", "... is a file,
// not a folder"); empty when it is a folder.
std::string FolderProblem(const std::string& path);

// Prints a finished export's message on standard output and its loss lines
// on standard error; 0 even when standard output fails (then with a
// warning), as the file is in place.
int ReportCompletion(const std::string& message, const exports::LossReport& loss);

// The export's texts separate lines with CR LF; a terminal wants LF.
std::string WithNewlines(std::string text);

// list BOOK.wab: one JSON object per contact, keys in reader order.
int RunList(const std::vector<std::string>& args);

// One line on standard error for each of the first few records a book
// left out, with where it is and why, then how many more of the total
// skipped there were (the count the caller reported).
void PrintSkippedRecords(const wab::WabFile& file, std::uint64_t total);

// list --all [--deleted] [--codepage N] BOOK.wab: the whole book, one JSON
// object a line (folders, contacts, groups), a summary on standard error.
int RunListAll(const std::vector<std::string>& args);

// xls | pst-ansi | pst-unicode BOOK.wab OUTDIR: the exports of the window.
int RunExport(const std::string& verb, const std::vector<std::string>& args);

// pst-ansi | pst-unicode BOOK.wab OUTDIR: the Outlook export.
int RunPstExport(const std::string& verb, const std::vector<std::string>& args);

// vcard [--version 3.0|4.0] [--no-fold] | csv-outlook | csv-google | xlsx,
// each [--force] BOOK.wab OUTDIR: the exports of the whole book.
bool IsBookVerb(const std::string& verb);
int RunBookExport(const std::string& verb, const std::vector<std::string>& args);

// carddav [--user NAME] [--password-file FILE] [--address-book NAME]
// [--ca-file PEM] [--update] BOOK.wab URL: the book into a CardDAV address
// book; 1 when a card was refused or the upload could not go on.
int RunCardDav(const std::vector<std::string>& args);

// The usage text, for --help and usage errors.
const char* UsageText();

}  // namespace cli

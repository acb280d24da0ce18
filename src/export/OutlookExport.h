// The Outlook export: every contact of the address book into a new personal
// folders file attached to Outlook's profile as "Windows Address Book
// Contacts", in a contacts folder named after the date and time. Outlook
// and the reader are whatever the automation registry hands out under
// "Outlook.Application" and "warjo.wab". No Qt: the conversion dialog and
// addrivo-convert both run it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "ExportProgress.h"
#include "SpreadsheetExport.h"

namespace exports {

inline constexpr const char* kOutlookExportFailed =
    "Outlook not installed or configured for a vaild profile.";
inline constexpr const char* kOutlookStoreName = "Windows Address Book Contacts";
inline constexpr const char* kContactsFolderPrefix = "WAB Contacts ";

// The dialog's two Outlook options: OptOutlook2K "Outlook 2000/2002/XP
// Format (Ansi Format)" and OptOutlook2K3 "Outlook 2003/2007 Format
// (Unicode Format)".
enum class OutlookFormat { Ansi, Unicode };

// What each option passes to AddStoreEx: Outlook's own codes, so each option
// gets the format its caption names (3 ANSI, 2 Unicode).
std::int16_t StoreTypeCode(OutlookFormat format);

// True for the Outlook versions that know only AddStore: a version text that
// contains "9." or "10." anywhere.
bool IsOlderOutlook(const std::string& version);

using Clock = std::function<std::chrono::system_clock::time_point()>;

struct OutlookExportRequest {
  std::string bookPath;      // the address-book path as the file box holds it
  std::string outputFolder;  // the chosen folder; a "/" is added when missing
  OutlookFormat format = OutlookFormat::Unicode;
  ExportProgress* progress = nullptr;        // none: no progress shown
  std::int64_t* progressCounter = nullptr;   // the program's ProgressCounter; a private one when null
  Clock now;                                 // the system clock when empty
  // Set (by a signal handler) to stop the run: it then ends as a failure
  // that leaves nothing behind. Checked between contacts.
  const std::atomic<bool>* stop = nullptr;
  int codePage = 0;  // of the book's 8-bit texts; 0: the locale's or a guess
};

struct OutlookExportResult {
  bool completed = false;
  bool stopped = false;  // ended by request.stop
  std::int32_t saved = 0;
  std::string pstPath;
  std::string message;  // what to show: the completion text or kOutlookExportFailed
  std::string title;    // the message box's title
  std::string cause;    // on failure, what went wrong (also in the message)
  LossReport loss;      // what could not travel, also in the message
};

// The new file's path (a free one is chosen by the export: "-2", "-3" ...
// before ".pst" when two exports fall in the same second): the book's name
// without its extension (OutputStem), then "-dd-mm-yyyy-hh-mm-ss.pst" of
// `when` in local time, in `folder`.
std::string OutlookOutputPath(const std::string& bookPath, const std::string& folder,
                              std::chrono::system_clock::time_point when);

// "WAB Contacts dd-mm-yyyy hh:mm:ss" in local time.
std::string ContactsFolderName(std::chrono::system_clock::time_point when);

// Runs the whole export. Never throws: any failure of Outlook or the reader
// ends the run, releases every object and comes back as the failure text,
// which names the cause. The book is opened and counted before Outlook is
// asked for a store. The store is written under a hidden temporary name of
// this run's own and takes its final name (a free one: never a file another
// run has taken meanwhile) and its place in the profile only when complete;
// after a failure or a stop this run's temporary is detached and deleted,
// and nothing else is touched.
OutlookExportResult RunOutlookExport(const OutlookExportRequest& request);

// The export as the conversion dialog runs it: RunOutlookExport, unless a
// test has put another function in its place.
using OutlookExportFunction = std::function<ExportResult(
    const std::string& bookPath, const std::string& folder, OutlookFormat format,
    ExportProgress* progress)>;

// An empty function puts RunOutlookExport back.
void SetOutlookExport(OutlookExportFunction function);

// bookPath is the file box's text, untrimmed; folder ends with a separator.
// codePage: of the book's 8-bit texts; 0 for the locale's or a guess (a
// function a test put in place does not take it).
ExportResult ExportToOutlook(const std::string& bookPath, const std::string& folder,
                             OutlookFormat format, ExportProgress* progress, int codePage = 0);

}  // namespace exports

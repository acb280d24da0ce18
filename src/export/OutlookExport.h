// The Outlook export: every contact of the address book into a new personal
// folders file attached to Outlook's profile as "Windows Address Book
// Contacts", in a contacts folder named after the date and time. Outlook
// and the reader are whatever the automation registry hands out under
// "Outlook.Application" and "warjo.wab". No Qt: the conversion dialog and
// addrivo-convert both call RunOutlookExport.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace exports {

inline constexpr const char* kOutlookStoreName = "Windows Address Book Contacts";
inline constexpr const char* kContactsFolderPrefix = "WAB Contacts ";
inline constexpr const char* kOutlookFailureText = "Outlook not installed or configured for a vaild profile.";
inline constexpr const char* kOutlookFailureTitle = "Vantrel Software";
inline constexpr const char* kCompletedTitle = "Conversion Completed...";

// The dialog's two Outlook options.
enum class OutlookOption {
  OptOutlook2K,   // "Outlook 2000/2002/XP Format (Ansi Format)"
  OptOutlook2K3,  // "Outlook 2003/2007 Format (Unicode Format)"
};

// What each option passes to AddStoreEx: Outlook's own codes, so each option
// gets the format its caption names (3 ANSI, 2 Unicode).
std::int16_t StoreTypeCode(OutlookOption option);

// True for the Outlook versions that know only AddStore: a version text that
// contains "9." or "10." anywhere.
bool IsOlderOutlook(const std::string& version);

// Drives a progress bar. Before the first contact: Prepare with the number of
// contacts (the bar's bounds are 0 and count), count / 100 rounded to the
// nearest whole number with halves to the even neighbour, and count / 100.
// After each contact: SetPosition with the progress counter (1, 2, ... count).
class ExportProgress {
 public:
  virtual ~ExportProgress() = default;
  virtual void Prepare(std::int32_t count, std::int32_t wholeStep, double step) = 0;
  virtual void SetPosition(std::int32_t position) = 0;
};

// count / 100, halves to the even neighbour (250 gives 2, 350 gives 4).
std::int32_t WholeStep(std::int32_t count);

using Clock = std::function<std::chrono::system_clock::time_point()>;

struct OutlookExportRequest {
  std::string bookPath;      // the address-book path as the file box holds it
  std::string outputFolder;  // the chosen folder; a "/" is added when missing
  OutlookOption option = OutlookOption::OptOutlook2K3;
  ExportProgress* progress = nullptr;        // none: no progress shown
  std::int64_t* progressCounter = nullptr;   // the program's ProgressCounter; a private one when null
  Clock now;                                 // the system clock when empty
};

struct OutlookExportResult {
  bool completed = false;
  std::int32_t saved = 0;
  std::string pstPath;
  std::string message;  // what to show: the completion text or the failure text
  std::string title;    // the message box's title
  std::string cause;    // on failure, what went wrong (for the command line and logs)
};

// The new file's path: the book's name in lower case with ".wab" made ".pst"
// and its last four characters dropped, then "-dd-mm-yyyy-hh-mm-ss.pst" of
// `when` in local time, in `folder`.
std::string OutlookOutputPath(const std::string& bookPath, const std::string& folder,
                              std::chrono::system_clock::time_point when);

// "WAB Contacts dd-mm-yyyy hh:mm:ss" in local time.
std::string ContactsFolderName(std::chrono::system_clock::time_point when);

// Runs the whole export. Never throws: any failure of Outlook or the reader
// ends the run, releases every object and comes back as the failure text.
OutlookExportResult RunOutlookExport(const OutlookExportRequest& request);

}  // namespace exports

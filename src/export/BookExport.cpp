#include "BookExport.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "BookCodePage.h"
#include "CsvWriter.h"
#include "PathNames.h"
#include "XlsxWriter.h"
#include "platform/os/OutputFile.h"
#include "platform/automation/Automation.h"
#include "platform/os/Os.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"

namespace exports {
namespace {

constexpr const char* kCrLf = "\r\n";
// Text goes to the file in pieces of about this size.
constexpr std::size_t kFlushBytes = 1 << 20;


const char* Extension(BookFormat format) {
  switch (format) {
    case BookFormat::VCard: return ".vcf";
    case BookFormat::CsvOutlook:
    case BookFormat::CsvGoogle: return ".csv";
    case BookFormat::Xlsx: return ".xlsx";
  }
  return "";
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Writes text formats through a buffer that goes out a megabyte at a time.
// The first write failure is kept; later bytes are dropped.
class Buffered {
 public:
  explicit Buffered(const excel::NewFile& out) : out_(out) { text.reserve(kFlushBytes + 64 * 1024); }
  void Flush(bool always = false) {
    if (!always && text.size() < kFlushBytes) return;
    if (error == 0 && !text.empty() && os::Write(out_.fd(), text.data(), text.size()) < 0) error = errno;
    text.clear();
  }
  std::string text;
  int error = 0;

 private:
  const excel::NewFile& out_;
};

// The book opened for reading a contact at a time; the file stays open
// (mapped) while its contacts are read.
struct OpenedBook {
  OpenedBook(const std::string& path, int codePage)
      : file(wab::OpenBookFile(path)), contacts(file, wab::BookOptions{false, codePage}) {}
  wab::WabFile file;
  wab::BookContacts contacts;
};

}  // namespace

std::string BookFileName(const std::string& bookPath, BookFormat format) {
  return ExportFileName(bookPath, Extension(format));
}

ExportResult ExportBook(const BookExportRequest& request) {
  ExportResult result;
  // The book is exactly the file named; blanks around it are only no part
  // of the output's name.
  const std::string& book = request.bookPath;
  result.outputPath = WithTrailingSeparator(request.folder) + BookFileName(TrimBlanks(book), request.format);
  const auto unreadable = [&](const std::exception& e) {
    return FailedExport(result, "The address book " + book + " could not be read: " + e.what());
  };

  // The book is opened, and read through by the formats that must know
  // something of every contact before their first byte, before anything
  // is written, so a book that cannot be read leaves no file behind. Its
  // contacts are then decoded one at a time as they are written, never all
  // held: the layouts keep only the facts they measured.
  std::unique_ptr<OpenedBook> opened;
  std::string codePageLine;
  GoogleColumns googleColumns;
  std::unique_ptr<XlsxSheetPlan> sheetPlan;
  try {
    const BookCodePage page = ChooseBookCodePage(book, request.codePage);
    codePageLine = page.line;
    opened = std::make_unique<OpenedBook>(book, page.codePage);
    wab::Contact c;
    if (request.format == BookFormat::CsvGoogle) {
      for (std::size_t i = 0; i < opened->contacts.Count(); ++i)
        if (opened->contacts.ReadAt(i, c, &GoogleColumns::Fields())) googleColumns.Fit(c);
    } else if (request.format == BookFormat::Xlsx) {
      sheetPlan = std::make_unique<XlsxSheetPlan>(opened->contacts.Outline());
      for (std::size_t i = 0; i < opened->contacts.Count(); ++i)
        if (opened->contacts.ReadAt(i, c)) sheetPlan->Add(c);
    }
  } catch (const std::exception& e) {
    return unreadable(e);
  }
  wab::BookContacts& contacts = opened->contacts;
  const wab::Book& outline = contacts.Outline();
  // Held from a global, so leak checkers see it as reachable.
  struct Keep {
    std::unique_ptr<OpenedBook>& book;
    bool keep;
    ~Keep() {
      static auto* kept = new std::vector<std::unique_ptr<OpenedBook>>;
      if (keep) kept->push_back(std::move(book));
    }
  } keep{opened, request.keepBookUntilExit};

  // A folder of that name is no file to replace; a file the user has is
  // replaced only with consent, and then a file that appears meanwhile is
  // never replaced without it.
  if (os::FileInfo st; os::StatPath(result.outputPath, st) && st.directory)
    return FailedExport(result, result.outputPath + " is a folder.");
  const OutputCheck check = CheckOutput(result.outputPath, request.replace);
  // Unlike the designed workbook's, this refusal is reported: the window
  // shows it, as it always has.
  if (check == OutputCheck::Declined) {
    result.declined = true;
    return FailedExport(result, result.outputPath + " already exists and was not replaced.");
  }
  excel::NewFile output;
  if (int err = output.Open(result.outputPath,
                            check == OutputCheck::Replace ? excel::Existing::Replace : excel::Existing::Keep))
    return FailedExport(result, "The file could not be created in " + FolderOf(result.outputPath) + ": " +
                               std::strerror(err) + ".");

  ContactProgress progress(request.progress);
  // Damaged records among the contacts count off as they are passed over.
  const std::size_t total = contacts.Count() + outline.groups.size();
  progress.Prepare(static_cast<std::int32_t>(total));
  LossReport& losses = result.loss;
  int writeError = 0;
  std::size_t saved = 0;
  // Each readable contact in record-id order, into one reused object.
  wab::Contact contact;
  const auto eachContact = [&](const auto& write) {
    for (std::size_t i = 0; i < contacts.Count(); ++i) {
      if (contacts.ReadAt(i, contact)) {
        write(contact);
        ++saved;
      }
      progress.Advance();
    }
  };
  try {
    switch (request.format) {
      case BookFormat::VCard: {
        VCardWriter writer(outline, request.vcard);
        Buffered out(output);
        eachContact([&](const wab::Contact& c) {
          writer.AppendContact(c, out.text);
          out.Flush();
        });
        for (const auto& g : outline.groups) {
          writer.AppendGroup(g, out.text);
          out.Flush();
          progress.Advance();
        }
        out.Flush(true);
        losses = writer.losses();
        writeError = out.error;
        break;
      }
      case BookFormat::CsvOutlook:
      case BookFormat::CsvGoogle: {
        CsvWriter writer(outline, request.format == BookFormat::CsvOutlook ? CsvLayout::Outlook : CsvLayout::Google,
                         googleColumns);
        Buffered out(output);
        writer.AppendHeader(out.text);
        eachContact([&](const wab::Contact& c) {
          writer.AppendContact(c, out.text);
          out.Flush();
        });
        writer.CountGroupLosses();
        for (std::size_t i = 0; i < outline.groups.size(); ++i) progress.Advance();
        out.Flush(true);
        losses = writer.losses();
        writeError = out.error;
        break;
      }
      case BookFormat::Xlsx:
        WriteXlsx(contacts, *sheetPlan, output.fd(), progress, losses);
        saved = sheetPlan->rows();
        break;
    }
  } catch (const automation::AutomationError& e) {
    output.Abandon();
    return unreadable(e);
  } catch (const std::exception& e) {
    output.Abandon();
    return FailedExport(result, std::string("Writing the file failed: ") + e.what() + ".");
  }
  if (int err = writeError ? writeError : output.Commit()) {
    if (err == EEXIST && check == OutputCheck::Write)
      return FailedExport(result, result.outputPath + " appeared while the export ran and was not replaced.");
    return FailedExport(result, "Writing " + result.outputPath + " failed: " + std::strerror(err) + ".");
  }

  result.completed = true;
  result.contacts = static_cast<std::int32_t>(saved);
  result.shortenedCells = static_cast<std::int32_t>(losses.shortenedValues);
  result.message = std::to_string(saved) + " Contacts Successfully Saved to " + kCrLf +
                   "FileName: " + result.outputPath;
  if (!outline.groups.empty()) {
    const bool asGroups = request.format == BookFormat::VCard || request.format == BookFormat::Xlsx;
    result.message += kCrLf + text::Counted(outline.groups.size(), "group", "groups") +
                      (asGroups ? " saved with their members."
                                : " saved as the group labels of their members.");
  }
  losses.skippedRecords = static_cast<std::int64_t>(outline.skippedRecords);
  losses.skippedProperties = static_cast<std::int64_t>(outline.skippedProperties);
  losses.bookCodePage = codePageLine;
  losses.AppendTo(result.message);
  return result;
}

}  // namespace exports

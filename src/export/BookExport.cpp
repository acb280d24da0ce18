#include "BookExport.h"

#include <exception>
#include <memory>
#include <vector>

#include "CsvWriter.h"
#include "PathNames.h"
#include "XlsxWriter.h"
#include "platform/wab/WabBook.h"

namespace exports {
namespace {

constexpr const char* kCrLf = "\r\n";
// Text goes to the file in pieces of about this size.
constexpr std::size_t kFlushBytes = 1 << 20;

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

ExportResult Failure(ExportResult result, const std::string& cause) {
  result.completed = false;
  result.message = "The contacts could not be saved to " + result.outputPath + "." + kCrLf + cause;
  return result;
}

const char* Extension(BookFormat format) {
  switch (format) {
    case BookFormat::VCard: return ".vcf";
    case BookFormat::CsvOutlook:
    case BookFormat::CsvGoogle: return ".csv";
    case BookFormat::Xlsx: return ".xlsx";
  }
  return "";
}

std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Writes text formats through a buffer that goes out a megabyte at a time.
class Buffered {
 public:
  explicit Buffered(StagedOutput& out) : out_(out) { text.reserve(kFlushBytes + 64 * 1024); }
  void Flush(bool always = false) {
    if (always || text.size() >= kFlushBytes) {
      out_.Write(text);
      text.clear();
    }
  }
  std::string text;

 private:
  StagedOutput& out_;
};

}  // namespace

std::string BookFileName(const std::string& bookPath, BookFormat format) {
  return ExportFileName(bookPath, Extension(format));
}

ExportResult ExportBook(const BookExportRequest& request) {
  ExportResult result;
  const std::string book = Trimmed(request.bookPath);
  result.outputPath = WithTrailingSeparator(request.folder) + BookFileName(book, request.format);

  // The book is read whole before anything is written, so a book that
  // cannot be read leaves no file behind.
  auto loaded = std::make_unique<wab::Book>();
  try {
    *loaded = wab::LoadBook(book);
  } catch (const std::exception& e) {
    return Failure(result, "The address book " + book + " could not be read: " + e.what());
  }
  const wab::Book& model = *loaded;
  // Held from a global, so leak checkers see it as reachable.
  struct Keep {
    std::unique_ptr<wab::Book>& book;
    bool keep;
    ~Keep() {
      static auto* kept = new std::vector<std::unique_ptr<wab::Book>>;
      if (keep) kept->push_back(std::move(book));
    }
  } keep{loaded, request.keepBookUntilExit};

  StagedOutput output;
  if (std::string error = output.Begin(result.outputPath, request.replace); !error.empty())
    return Failure(result, error);

  ContactProgress progress(request.progress);
  const std::size_t total = model.contacts.size() + model.groups.size();
  progress.Prepare(static_cast<std::int32_t>(total));
  ExportLosses losses;
  try {
    switch (request.format) {
      case BookFormat::VCard: {
        VCardWriter writer(model, request.vcard);
        Buffered out(output);
        for (const auto& c : model.contacts) {
          writer.AppendContact(c, out.text);
          out.Flush();
          progress.Advance();
        }
        for (const auto& g : model.groups) {
          writer.AppendGroup(g, out.text);
          out.Flush();
          progress.Advance();
        }
        out.Flush(true);
        losses = writer.losses();
        break;
      }
      case BookFormat::CsvOutlook:
      case BookFormat::CsvGoogle: {
        CsvWriter writer(model, request.format == BookFormat::CsvOutlook ? CsvLayout::Outlook : CsvLayout::Google);
        Buffered out(output);
        writer.AppendHeader(out.text);
        for (const auto& c : model.contacts) {
          writer.AppendContact(c, out.text);
          out.Flush();
          progress.Advance();
        }
        writer.CountGroupLosses();
        for (std::size_t i = 0; i < model.groups.size(); ++i) progress.Advance();
        out.Flush(true);
        losses = writer.losses();
        break;
      }
      case BookFormat::Xlsx:
        WriteXlsx(model, output.tempPath(), progress, losses);
        break;
    }
  } catch (const std::exception& e) {
    output.Abandon();
    return Failure(result, std::string("Writing the file failed: ") + e.what() + ".");
  }
  if (std::string error = output.Commit(); !error.empty()) return Failure(result, error);

  result.completed = true;
  result.contacts = static_cast<std::int32_t>(model.contacts.size());
  result.shortenedCells = losses.shortenedValues;
  result.message = std::to_string(model.contacts.size()) + " Contacts Successfully Saved to " + kCrLf +
                   "FileName: " + result.outputPath;
  if (!model.groups.empty()) {
    const bool asGroups = request.format == BookFormat::VCard || request.format == BookFormat::Xlsx;
    result.message += kCrLf + Counted(model.groups.size(), "group", "groups") +
                      (asGroups ? " saved with their members."
                                : " saved as the group labels of their members.");
  }
  if (model.skippedRecords > 0)
    result.message += kCrLf + Counted(model.skippedRecords, "damaged record", "damaged records") +
                      " of the address book could not be read and " +
                      (model.skippedRecords == 1 ? "was" : "were") + " left out.";
  if (model.skippedProperties > 0)
    result.message += kCrLf + Counted(model.skippedProperties, "property", "properties") +
                      " of a kind no export reads " + (model.skippedProperties == 1 ? "was" : "were") +
                      " left out.";
  for (const auto& line : losses.Lines()) result.message += kCrLf + line;
  return result;
}

}  // namespace exports

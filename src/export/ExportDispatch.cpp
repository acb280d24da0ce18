#include "ExportDispatch.h"

#include "carddav/Upload.h"

#include "OutlookExport.h"
#include "PathNames.h"

namespace exports {

const ExportFormatInfo& InfoOf(ExportFormat format) {
  for (const ExportFormatInfo& info : kExportFormats)
    if (info.format == format) return info;
  return kExportFormats.front();  // unreachable: every format has its row
}

const ExportFormatInfo* FormatOfVerb(std::string_view verb) {
  for (const ExportFormatInfo& info : kExportFormats)
    if (info.verb == verb) return &info;
  return nullptr;
}

bool IsBookFormat(ExportFormat format) {
  return format == ExportFormat::VCard || format == ExportFormat::CsvOutlook || format == ExportFormat::CsvGoogle ||
         format == ExportFormat::Xlsx;
}

ExportOutcome OutcomeOf(const ExportResult& result) {
  ExportOutcome outcome;
  outcome.status = result.completed ? ExportOutcome::Status::Written
                   : result.declined ? ExportOutcome::Status::Declined
                                     : ExportOutcome::Status::Failed;
  outcome.contacts = result.contacts;
  outcome.outputPath = result.outputPath;
  outcome.title = result.completed ? kCompletionTitle : kFailureTitle;
  outcome.message = result.message;
  if (outcome.status == ExportOutcome::Status::Failed) outcome.cause = result.message;
  outcome.loss = result.loss;
  return outcome;
}

namespace {

BookFormat BookFormatOf(ExportFormat format) {
  switch (format) {
    case ExportFormat::CsvOutlook: return BookFormat::CsvOutlook;
    case ExportFormat::CsvGoogle: return BookFormat::CsvGoogle;
    case ExportFormat::Xlsx: return BookFormat::Xlsx;
    default: return BookFormat::VCard;
  }
}

}  // namespace

ExportOutcome RunExport(const ExportRequest& request) {
  switch (request.format) {
    case ExportFormat::OutlookAnsi:
    case ExportFormat::OutlookUnicode:
      return OutcomeOf(ExportToOutlook(
          request.bookPath, WithTrailingSeparator(request.folder),
          request.format == ExportFormat::OutlookUnicode ? OutlookFormat::Unicode : OutlookFormat::Ansi,
          request.progress, request.codePage));
    case ExportFormat::Excel:
      return OutcomeOf(ExportToSpreadsheet(request.bookPath, WithTrailingSeparator(request.folder), request.progress,
                                           request.sheetWriter, request.replace, request.codePage));
    case ExportFormat::VCard:
    case ExportFormat::CsvOutlook:
    case ExportFormat::CsvGoogle:
    case ExportFormat::Xlsx: {
      BookExportRequest book;
      book.bookPath = request.bookPath;
      book.folder = request.folder;
      book.format = BookFormatOf(request.format);
      book.vcard = request.vcard;
      book.replace = request.replace;
      book.progress = request.progress;
      book.keepBookUntilExit = request.keepBookUntilExit;
      book.codePage = request.codePage;
      return OutcomeOf(ExportBook(book));
    }
    case ExportFormat::CardDav: return carddav::RunUpload(request);
  }
  ExportOutcome unknown;
  unknown.title = kFailureTitle;
  unknown.message = unknown.cause = "This build does not know that export format.";
  return unknown;
}

}  // namespace exports

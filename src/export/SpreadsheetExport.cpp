#include "SpreadsheetExport.h"

#include <array>
#include <cmath>
#include <exception>

#include "BookCodePage.h"
#include "PathNames.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/codepage/CodePage.h"
#include "platform/os/HalfEven.h"
#include "platform/os/Os.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"

namespace exports {
namespace {

constexpr const char* kCrLf = "\r\n";

using automation::ReaderField;

struct Column {
  const char* heading;
  ReaderField field;
};

// Sheet order.
constexpr std::array<Column, automation::kReaderFieldCount> kColumns{{
    {"First Name", ReaderField::Name},
    {"Middle Name", ReaderField::MiddleName},
    {"Last Name", ReaderField::Surname},
    {"Email", ReaderField::HomeEmail},
    {"Company", ReaderField::CompanyName},
    {"Location", ReaderField::OfficeLocation},
    {"Website", ReaderField::CompanyURL},
    {"Department", ReaderField::Department},
    {"Business Street Address", ReaderField::BusinessAddress},
    {"Business City", ReaderField::City},
    {"Business Zip/Postal Code", ReaderField::Postal},
    {"Business State", ReaderField::Province},
    {"Business Country", ReaderField::Country},
    {"Business Phone Number", ReaderField::BusinessPhone},
    {"Business FAX", ReaderField::BusinessFax},
    {"Mobile Phone", ReaderField::CellPhone},
    {"Personal Street Address", ReaderField::HomeAddress},
    {"Personal Country", ReaderField::HomeCountry},  // a key beyond the designed 20
    {"Personal Phone Number", ReaderField::HomePhone},
    {"Personal FAX", ReaderField::Fax},
    {"Comments", ReaderField::Comment},
}};
static_assert(automation::IsOrderOfAllFields(automation::FieldsOf(kColumns, &Column::field)),
              "every reader field has one column");

// The order fields are read from the reader; each goes into its column as
// soon as it is read.
constexpr std::array<ReaderField, kColumns.size()> kReadOrder = [] {
  using enum ReaderField;
  return std::array{Name,          MiddleName,  Surname,   HomeEmail,   CompanyName, BusinessAddress, City,
                    Postal,        Province,    Country,   OfficeLocation, CompanyURL, Department,
                    BusinessPhone, BusinessFax, CellPhone, HomeAddress, HomeCountry, HomePhone,   Fax,
                    Comment};
}();
static_assert(automation::IsOrderOfAllFields(kReadOrder), "every column is read once");

// The 1-based sheet column of each read.
constexpr std::array<std::int32_t, kReadOrder.size()> kColumnOfRead = [] {
  std::array<std::int32_t, kReadOrder.size()> at{};
  for (std::size_t r = 0; r < kReadOrder.size(); ++r)
    for (std::size_t c = 0; c < kColumns.size(); ++c)
      if (kColumns[c].field == kReadOrder[r]) at[r] = static_cast<std::int32_t>(c + 1);
  return at;
}();

constexpr std::int32_t kFontData = 0;
constexpr std::int32_t kFontHeading = 64;

// A writer status that ends the export.
struct WriterFailure {
  std::int16_t status;
};

void Check(std::int16_t status) {
  if (status != kStatusOk) throw WriterFailure{status};
}

}  // namespace

ExportResult FailedExport(ExportResult result, const std::string& cause) {
  result.completed = false;
  result.message = "The contacts could not be saved to " + result.outputPath + "." + kCrLf + cause;
  return result;
}

std::string StatusText(std::int16_t s) { return status::Text(s); }

void ContactProgress::Prepare(std::int32_t n) {
  if (progress_) progress_->Prepare(0, n, os::HundredthRoundedHalfEven(n), n / 100.0);
  value_ = 1;
}

void ContactProgress::Advance() {
  if (progress_) progress_->SetPosition(value_);
  ++value_;
}

namespace {

// What the book holds that the workbook's columns have no place for:
// e-mail addresses beyond the one of the Email column, the fields of no
// column, the family and dates, and the groups. Counted on a second reading
// of the real book; a stand-in reader's book is not counted.
void CountLeftOut(const std::string& path, int codePage, LossReport& loss) {
  using wab::Field;
  static constexpr Field kInColumns[] = {
      Field::GivenName,      Field::MiddleName,         Field::Surname,         Field::Company,
      Field::Office,         Field::BusinessWeb,        Field::Department,      Field::BusinessStreet,
      Field::BusinessCity,   Field::BusinessPostalCode, Field::BusinessState,   Field::BusinessCountry,
      Field::BusinessPhone,  Field::BusinessFax,        Field::Mobile,          Field::HomeStreet,
      Field::HomePhone,      Field::HomeFax,            Field::Notes};
  wab::FieldSet columns{};
  for (Field f : kInColumns) columns[static_cast<std::size_t>(f)] = true;
  try {
    const wab::WabFile file = wab::OpenBookFile(path);
    wab::BookContacts book(file, wab::BookOptions{false, codePage});
    wab::Contact c;
    for (std::size_t i = 0; i < book.Count(); ++i) {
      if (!book.ReadAt(i, c)) continue;
      if (c.emails.size() > 1) loss.xlsEmailsLeftOut += static_cast<std::int64_t>(c.emails.size() - 1);
      for (std::size_t f = 0; f < c.fields.size(); ++f) loss.xlsValuesLeftOut += !columns[f] && !c.fields[f].empty();
      loss.xlsValuesLeftOut += static_cast<std::int64_t>(c.children.size()) + (c.gender != wab::Gender::Unspecified) +
                               c.birthday.valid() + c.anniversary.valid();
    }
    loss.xlsGroupsLeftOut = static_cast<std::int64_t>(book.Outline().groups.size());
  } catch (const std::exception&) {
    // Read once already: a failure here only leaves the count out.
  }
}

ExportResult Run(const std::string& bookPath, const std::string& folder,
                 const std::function<SheetWriter*()>& getWriter, ExportProgress* progress,
                 const ReplaceConsent& consent, int askedCodePage) {
  ExportResult result;
  // Blanks around the path are no part of the output's name; the book read
  // is exactly the file named.
  result.outputPath = folder + SpreadsheetFileName(TrimBlanks(bookPath));

  // The book is opened and counted before anything is written, so a book
  // that cannot be read or does not fit the sheet leaves no file behind.
  std::shared_ptr<automation::AddressBookReader> reader;
  std::int32_t count = 0;
  int codePageUsed = 0;
  try {
    const BookCodePage page = ChooseBookCodePage(bookPath, askedCodePage);
    result.loss.bookCodePage = page.line;
    codePageUsed = page.codePage;
    reader = CreateBookReader(page.codePage);
    reader->Open(bookPath);
    count = reader->GetCount();
    result.loss.skippedRecords = reader->SkippedRecords();
  } catch (const std::exception& e) {
    return FailedExport(result, "The address book " + bookPath + " could not be read: " + e.what());
  }
  if (count < 0)
    return FailedExport(result, "The address book " + bookPath + " reported no valid number of contacts.");
  if (count > kMaxSpreadsheetContacts)
    return FailedExport(result, "The address book holds " + WithThousands(count) +
                               " contacts; a sheet holds at most " +
                               WithThousands(kMaxSpreadsheetContacts) +
                               " below its heading row. Nothing was written.");

  // Named as what it is, not as a file to replace or one that cannot be written.
  if (os::FileInfo st; os::StatPath(result.outputPath, st) && st.directory)
    return FailedExport(result, result.outputPath + " is a folder.");
  SheetWriter* const writerPtr = getWriter();
  if (!writerPtr) return FailedExport(result, "This build has no spreadsheet writer.");
  SheetWriter& writer = *writerPtr;
  const int codePage = writer.CodePage();
  const OutputCheck output = CheckOutput(result.outputPath, consent);
  if (output == OutputCheck::Declined) {
    result.declined = true;
    return FailedExport(result, result.outputPath + " already exists and was not replaced. Nothing was written.");
  }
  writer.SetReplaceExisting(output == OutputCheck::Replace);
  const LostCharacters lost(codePage);
  result.loss.codePage = codePage;
  bool created = false;
  try {
    Check(writer.CreateFile(result.outputPath));
    created = true;
    Check(writer.SetFont("Verdana", 10, 0));
    Check(writer.SetFont("Verdana", 11, 1));
    Check(writer.SetFont("Verdana", 10, 5));
    Check(writer.SetFont("Courier", 16, 3));
    Check(writer.SetHeader("BIFF 2.1 API"));
    for (std::int32_t c = 1; c <= static_cast<std::int32_t>(kColumns.size()); ++c)
      Check(writer.WriteValue(kValueText, kFontHeading, kAlignLeft, 0, 1, c, kColumns[c - 1].heading, 0));

    ContactProgress counter(progress);
    counter.Prepare(count);
    std::array<std::string, kReadOrder.size()> keys;
    for (std::size_t r = 0; r < kReadOrder.size(); ++r) keys[r] = std::string(automation::Key(kReadOrder[r]));
    std::string value;
    for (std::int32_t i = 0; i < count; ++i) {
      const std::int32_t row = i + 2;
      reader->Select(i);
      for (std::size_t r = 0; r < kReadOrder.size(); ++r) {
        const std::int32_t column = kColumnOfRead[r];
        value = reader->GetValue(keys[r]);
        // Only a long value can pass the cell limit: no code page needs more
        // than twice a character's UTF-8 length.
        if (value.size() > kMaxCellBytes / 2) {
          auto encoded = codepage::FromUtf8(value, codePage, kMaxCellBytes);
          if (encoded.truncated) {
            value = codepage::ToUtf8(encoded.bytes, codePage);
            ++result.shortenedCells;
          }
        }
        lost.Check(value, result.loss);
        Check(writer.WriteValue(kValueText, kFontData, kAlignLeft, 0, row, column, value, 0));
      }
      counter.Advance();
    }
    Check(writer.CloseFile());
  } catch (const WriterFailure& f) {
    if (created) writer.Abandon();
    return FailedExport(result, "Writing the file failed: " + StatusText(f.status) + ".");
  } catch (const std::exception& e) {
    if (created) writer.Abandon();
    return FailedExport(result, "The address book " + bookPath + " could not be read: " + e.what());
  }

  if (wab::HeldBookOf(*reader)) CountLeftOut(bookPath, codePageUsed, result.loss);
  result.completed = true;
  result.contacts = count;
  result.message = std::to_string(count) + " Contacts Successfully Saved to " + kCrLf +
                   "FileName: " + result.outputPath;
  result.loss.shortenedValues = result.shortenedCells;
  result.loss.shortenLimitBytes = kMaxCellBytes;
  result.loss.AppendTo(result.message);
  if (count + 1 > kRowsEveryReaderShows)
    result.message += std::string(kCrLf) + "The sheet has " + WithThousands(count + 1) +
                      " rows: some programs (Gnumeric, xlrd, old Excel) show only the first " +
                      WithThousands(kRowsEveryReaderShows) + ".";
  return result;
}

}  // namespace

ExportResult ExportToSpreadsheet(const std::string& bookPath, const std::string& folder,
                                 SheetWriter& writer, ExportProgress* progress,
                                 const ReplaceConsent& consent, int codePage) {
  return Run(bookPath, folder, [&] { return &writer; }, progress, consent, codePage);
}

ExportResult ExportToSpreadsheet(const std::string& bookPath, const std::string& folder,
                                 ExportProgress* progress, const SheetWriterFactory& factory,
                                 const ReplaceConsent& consent, int codePage) {
  std::unique_ptr<SheetWriter> writer;
  return Run(bookPath, folder,
             [&] {
               const SheetWriterFactory& make = factory ? factory : DefaultSheetWriterFactory();
               if (make) writer = make();
               return writer.get();
             },
             progress, consent, codePage);
}

}  // namespace exports

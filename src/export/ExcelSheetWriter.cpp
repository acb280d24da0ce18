#include "ExcelSheetWriter.h"

#include "SpreadsheetExport.h"
#include "excel/ExcelFile.h"
#include "platform/codepage/CodePage.h"

namespace exports {

ExcelSheetWriter::ExcelSheetWriter(int codePage)
    : codePage_(codePage), file_(std::make_unique<excel::ExcelFile>(codePage)) {
  // ExcelFile falls back to 1252 for a page it cannot write; long values
  // must then be measured in that page too.
  codePage_ = file_->codePage();
}

ExcelSheetWriter::~ExcelSheetWriter() = default;

void ExcelSheetWriter::SetReplaceExisting(bool replace) {
  replace_ = replace;
  file_->setReplaceExisting(replace);
}

std::int16_t ExcelSheetWriter::CreateFile(const std::string& FileName) { return file_->CreateFile(FileName); }

std::int16_t ExcelSheetWriter::SetFont(const std::string& FontName, std::int16_t FontHeight,
                                       std::int32_t FontFormat) {
  return file_->SetFont(FontName, FontHeight, FontFormat);
}

std::int16_t ExcelSheetWriter::SetHeader(const std::string& HeaderText) { return file_->SetHeader(HeaderText); }

std::int16_t ExcelSheetWriter::WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed,
                                          std::int32_t Alignment, std::int32_t HiddenLocked,
                                          std::int32_t lrow, std::int32_t lcol, const std::string& value,
                                          std::int32_t CellFormat) {
  return file_->WriteValue(ValueType, CellFontUsed, Alignment, HiddenLocked, lrow, lcol, excel::Value(value),
                           CellFormat);
}

std::int16_t ExcelSheetWriter::CloseFile() { return file_->CloseFile(); }

// A dropped ExcelFile discards its unfinished file and leaves any earlier
// file of that name as it was.
void ExcelSheetWriter::Abandon() {
  file_ = std::make_unique<excel::ExcelFile>(codePage_);
  file_->setReplaceExisting(replace_);
}

SheetWriterFactory DefaultSheetWriterFactory() {
  return [] { return std::make_unique<ExcelSheetWriter>(codepage::SystemAnsiCodePage()); };
}

}  // namespace exports

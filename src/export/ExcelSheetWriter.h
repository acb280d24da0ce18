// The export's spreadsheet operations over ExcelFile.
#pragma once

#include <memory>

#include "SheetWriter.h"

namespace excel {
class ExcelFile;
}

namespace exports {

class ExcelSheetWriter : public SheetWriter {
 public:
  // Texts go out in codePage.
  explicit ExcelSheetWriter(int codePage);
  ~ExcelSheetWriter() override;

  int CodePage() const override { return codePage_; }
  void SetReplaceExisting(bool replace) override;
  std::int16_t CreateFile(const std::string& FileName) override;
  std::int16_t SetFont(const std::string& FontName, std::int16_t FontHeight,
                       std::int32_t FontFormat) override;
  std::int16_t SetHeader(const std::string& HeaderText) override;
  std::int16_t WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed, std::int32_t Alignment,
                          std::int32_t HiddenLocked, std::int32_t lrow, std::int32_t lcol,
                          const std::string& value, std::int32_t CellFormat) override;
  std::int16_t CloseFile() override;
  void Abandon() override;

 private:
  int codePage_;
  bool replace_ = true;
  std::unique_ptr<excel::ExcelFile> file_;
};

}  // namespace exports

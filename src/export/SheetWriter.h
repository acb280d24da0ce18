// The spreadsheet operations the export drives, in the writer's own terms.
// The program writes through ExcelFile; tests put a recording writer in its
// place to check the exact sequence of calls.
#pragma once

#include <cstdint>
#include <string>

namespace exports {

// Statuses every operation returns (the writer's own numbering).
inline constexpr std::int16_t kStatusOk = 0;
inline constexpr std::int16_t kStatusOverflow = 6;
inline constexpr std::int16_t kStatusTypeMismatch = 13;
inline constexpr std::int16_t kStatusBadFileNumber = 52;
inline constexpr std::int16_t kStatusInvalidNull = 94;
// Anything else is a file-system failure; these are the ones the writer uses.
inline constexpr std::int16_t kStatusDeviceIo = 57;
inline constexpr std::int16_t kStatusFileExists = 58;
inline constexpr std::int16_t kStatusDiskFull = 61;
inline constexpr std::int16_t kStatusNameTooLong = 64;
inline constexpr std::int16_t kStatusTooManyFiles = 67;
inline constexpr std::int16_t kStatusPermissionDenied = 70;
inline constexpr std::int16_t kStatusFileAccess = 75;
inline constexpr std::int16_t kStatusPathNotFound = 76;
inline constexpr std::int16_t kStatusReadOnly = 77;  // a file system mounted read-only

// ValueType 2 and the attribute values the export uses.
inline constexpr std::int32_t kValueText = 2;
inline constexpr std::int32_t kAlignLeft = 1;

class SheetWriter {
 public:
  virtual ~SheetWriter() = default;

  // The code page texts go out in; a text must fit 255 bytes in it.
  virtual int CodePage() const = 0;

  // Whether CloseFile may replace a file that took the name meanwhile; the
  // export sets it before CreateFile once it knows what the user allows.
  virtual void SetReplaceExisting(bool) {}
  virtual std::int16_t CreateFile(const std::string& FileName) = 0;
  virtual std::int16_t SetFont(const std::string& FontName, std::int16_t FontHeight,
                               std::int32_t FontFormat) = 0;
  virtual std::int16_t SetHeader(const std::string& HeaderText) = 0;
  // value is UTF-8 text; lrow and lcol count from 1.
  virtual std::int16_t WriteValue(std::int32_t ValueType, std::int32_t CellFontUsed,
                                  std::int32_t Alignment, std::int32_t HiddenLocked,
                                  std::int32_t lrow, std::int32_t lcol, const std::string& value,
                                  std::int32_t CellFormat) = 0;
  // Finishes the file; only now does it appear under its name.
  virtual std::int16_t CloseFile() = 0;
  // Gives up the file being written: nothing of it stays behind, and a file
  // that had the name before is left as it was.
  virtual void Abandon() = 0;
};

// A text naming a status for a message: "the disk is full", ...
std::string StatusText(std::int16_t status);

}  // namespace exports

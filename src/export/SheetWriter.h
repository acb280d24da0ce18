// The spreadsheet operations the export drives, in the writer's own terms.
// The program writes through ExcelFile; tests put a recording writer in its
// place to check the exact sequence of calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os/Status.h"

namespace exports {

// Statuses every operation returns: the writer's own (platform/os/Status.h).
inline constexpr std::int16_t kStatusOk = status::kOk;
inline constexpr std::int16_t kStatusOverflow = status::kOverflow;
inline constexpr std::int16_t kStatusTypeMismatch = status::kTypeMismatch;
inline constexpr std::int16_t kStatusBadFileNumber = status::kBadFileNumber;
inline constexpr std::int16_t kStatusInvalidNull = status::kInvalidUseOfNull;
inline constexpr std::int16_t kStatusDeviceIo = status::kDeviceIo;
inline constexpr std::int16_t kStatusFileExists = status::kFileExists;
inline constexpr std::int16_t kStatusDiskFull = status::kDiskFull;
inline constexpr std::int16_t kStatusNameTooLong = status::kNameTooLong;
inline constexpr std::int16_t kStatusTooManyFiles = status::kTooManyFiles;
inline constexpr std::int16_t kStatusPermissionDenied = status::kPermissionDenied;
inline constexpr std::int16_t kStatusFileAccess = status::kPathFileAccess;
inline constexpr std::int16_t kStatusPathNotFound = status::kPathNotFound;
inline constexpr std::int16_t kStatusReadOnly = status::kReadOnly;

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

// The writers' 16-bit statuses and what each means, in one place: the
// workbook writer (ExcelFile), its output file and the spreadsheet export
// all speak these numbers (the numbering of the run-time errors of the
// language the program was first written in).
#pragma once

#include <cstdint>
#include <string>

namespace status {

using Status = std::int16_t;

inline constexpr Status kOk = 0;
inline constexpr Status kOverflow = 6;          // a value does not fit its field
inline constexpr Status kTypeMismatch = 13;     // a value of the wrong kind
inline constexpr Status kBadFileNumber = 52;    // no open file
inline constexpr Status kInvalidUseOfNull = 94;  // a null value
// Anything else is a file-system failure; these are the ones the writers use.
inline constexpr Status kDeviceIo = 57;
inline constexpr Status kFileExists = 58;  // the name was taken and may not be replaced
inline constexpr Status kDiskFull = 61;    // also the file size limit
inline constexpr Status kNameTooLong = 64;  // a file name over 255 bytes
inline constexpr Status kTooManyFiles = 67;
inline constexpr Status kPermissionDenied = 70;
inline constexpr Status kPathFileAccess = 75;  // any other file-system failure
inline constexpr Status kPathNotFound = 76;
inline constexpr Status kReadOnly = 77;  // a file system mounted read-only (our own number)

// What a status means, for a message ("the disk is full").
inline std::string Text(Status s) {
  switch (s) {
    case kOk: return "no error";
    case kOverflow: return "a value does not fit its field in the file";
    case kTypeMismatch: return "a value is of the wrong kind";
    case kBadFileNumber: return "the file is not open";
    case kInvalidUseOfNull: return "a value is missing";
    case kDeviceIo: return "the device reported an input/output error";
    case kDiskFull: return "the disk is full";
    case kTooManyFiles: return "too many files are open";
    case kPermissionDenied: return "permission denied";
    case kPathFileAccess: return "the file could not be created or written";
    case kFileExists: return "a file of that name appeared meanwhile and was left as it was";
    case kNameTooLong: return "the file name is too long (a name holds at most 255 bytes)";
    case kPathNotFound: return "the folder does not exist";
    case kReadOnly: return "the folder is on a file system mounted read-only";
    default: return "file system error " + std::to_string(s);
  }
}

}  // namespace status

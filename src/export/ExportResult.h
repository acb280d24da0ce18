// What every export hands back, whichever format it writes: the result,
// the titles of its message boxes, and the failure's wording.
#pragma once

#include <cstdint>
#include <string>

#include "Completion.h"
#include "platform/os/Text.h"

namespace exports {

inline constexpr const char* kFailureTitle = "Vantrel Software";
inline constexpr const char* kCompletionTitle = "Conversion Completed...";

// What an export hands to the completion step, or the failure to report.
struct ExportResult {
  bool completed = false;
  std::int32_t contacts = 0;        // contacts written
  std::int32_t shortenedCells = 0;  // values cut to the cell limit
  bool declined = false;            // the output existed and was not to be replaced
  LossReport loss;                  // what could not travel, also in the message
  std::string outputPath;
  // The completion text when completed, else the failure text; lines are
  // separated by "\r\n".
  std::string message;
};

// The path without the spaces around it, which are no part of a book's name.
inline std::string TrimBlanks(const std::string& path) { return text::TrimSpaces(path); }

// A failed export's result: the message names the output and the cause.
ExportResult FailedExport(ExportResult result, const std::string& cause);

}  // namespace exports

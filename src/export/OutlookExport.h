// The Outlook export as the conversion dialog calls it. The Outlook side
// installs its function here; until then an Outlook export fails as one
// without a usable Outlook does.
#pragma once

#include <functional>
#include <string>

#include "ExportProgress.h"
#include "SpreadsheetExport.h"

namespace exports {

inline constexpr const char* kOutlookExportFailed =
    "Outlook not installed or configured for a vaild profile.";

enum class OutlookFormat { Ansi, Unicode };

// bookPath is the file box's text, untrimmed; folder ends with a separator.
using OutlookExportFunction = std::function<ExportResult(
    const std::string& bookPath, const std::string& folder, OutlookFormat format,
    ExportProgress* progress)>;

void SetOutlookExport(OutlookExportFunction function);

// Runs the installed export; without one, fails with kOutlookExportFailed.
ExportResult ExportToOutlook(const std::string& bookPath, const std::string& folder,
                             OutlookFormat format, ExportProgress* progress);

}  // namespace exports

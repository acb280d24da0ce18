#include "OutlookExport.h"

#include <utility>

namespace exports {
namespace {
OutlookExportFunction& Installed() {
  static OutlookExportFunction function;
  return function;
}
}  // namespace

void SetOutlookExport(OutlookExportFunction function) { Installed() = std::move(function); }

ExportResult ExportToOutlook(const std::string& bookPath, const std::string& folder,
                             OutlookFormat format, ExportProgress* progress) {
  if (Installed()) return Installed()(bookPath, folder, format, progress);
  ExportResult result;
  result.message = kOutlookExportFailed;
  return result;
}

}  // namespace exports

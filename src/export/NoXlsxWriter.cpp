// The .xlsx export where libxlsxwriter is not built for the target system:
// it says so, and every other format still works.
#include "XlsxWriter.h"

namespace exports {

std::vector<std::string> XlsxHeadings(const wab::Book&) { return {}; }

void WriteXlsx(const wab::Book&, const std::string&, ContactProgress&, LossReport&) {
  throw XlsxError("the .xlsx export is not available in this build (it needs libxlsxwriter); "
                  "csv-outlook or xls open in Excel as well");
}

}  // namespace exports

// The .xlsx export where libxlsxwriter is not built for the target system:
// it says so, and every other format still works.
#include "XlsxWriter.h"

namespace exports {

std::vector<std::string> XlsxHeadings(const wab::Book&) { return {}; }

struct XlsxSheetPlan::Impl {};
XlsxSheetPlan::XlsxSheetPlan(const wab::Book&) {}
XlsxSheetPlan::~XlsxSheetPlan() = default;
void XlsxSheetPlan::Add(const wab::Contact&) {}
std::size_t XlsxSheetPlan::rows() const { return 0; }

void WriteXlsx(wab::BookContacts&, const XlsxSheetPlan&, const std::string&, ContactProgress&, LossReport&) {
  throw XlsxError("the .xlsx export is not available in this build (it needs libxlsxwriter); "
                  "csv-outlook or xls open in Excel as well");
}

}  // namespace exports

// Builds without the spreadsheet writer: the export reports that it has none.
#include "SpreadsheetExport.h"

namespace exports {

SheetWriterFactory DefaultSheetWriterFactory() { return {}; }

}  // namespace exports

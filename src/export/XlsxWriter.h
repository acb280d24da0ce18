// The whole book as an Excel workbook (.xlsx) through libxlsxwriter in its
// constant-memory mode: a sheet "Contacts" with every field of the model as
// a column under a plain heading (the designed workbook's columns first, as
// far as their fields exist; e-mail addresses as "E-mail 1", "E-mail 2", ...,
// the default one first), one row per contact, a bold frozen heading row
// with an autofilter and widths that fit the values; and a sheet "Groups"
// (group, member, member's e-mail). All text Unicode; dates are date cells.
// Plain C++, no Qt.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "Completion.h"
#include "BookText.h"
#include "ExportProgress.h"

namespace exports {

// libxlsxwriter refused something; what() holds its message.
class XlsxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The Contacts sheet's headings for this book, in column order.
std::vector<std::string> XlsxHeadings(const wab::Book& book);

// Writes the workbook to path (replacing whatever is there: callers pass a
// fresh temporary name). Throws XlsxError; a partial file may then remain at
// path for the caller to remove. Counts values shortened to a cell's limit.
void WriteXlsx(const wab::Book& book, const std::string& path, ContactProgress& progress,
               LossReport& losses);

}  // namespace exports

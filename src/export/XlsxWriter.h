// The whole book as an Excel workbook (.xlsx) through libxlsxwriter in its
// constant-memory mode: a sheet "Contacts" with every field of the model as
// a column under a plain heading (the designed workbook's columns first, as
// far as their fields exist; e-mail addresses as "E-mail 1", "E-mail 2", ...,
// the default one first), one row per contact, a bold frozen heading row
// with an autofilter and widths that fit the values; and a sheet "Groups"
// (group, member, member's e-mail, and on its first row the group's own
// fields, "Heading: value" a line). All text Unicode; dates are date cells.
// Plain C++, no Qt.
#pragma once

#include <memory>
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

// The Contacts sheet's headings for a book that holds its contacts, in
// column order.
std::vector<std::string> XlsxHeadings(const wab::Book& book);

// What the Contacts sheet must know of every contact before its first row
// (how many e-mail columns, how wide each column, how many rows), gathered
// by a pass of its own that keeps nothing else of the contacts.
class XlsxSheetPlan {
 public:
  // The book's outline (groups and folders name a contact's values); it
  // must outlive the plan.
  explicit XlsxSheetPlan(const wab::Book& outline);
  ~XlsxSheetPlan();
  XlsxSheetPlan(const XlsxSheetPlan&) = delete;
  XlsxSheetPlan& operator=(const XlsxSheetPlan&) = delete;

  // Every readable contact of the book, in the order they are written.
  void Add(const wab::Contact& contact);
  std::size_t rows() const;

 private:
  friend void WriteXlsx(wab::BookContacts&, const XlsxSheetPlan&, const std::string&, ContactProgress&,
                        LossReport&);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes the workbook of the book planned in plan to path, reading its
// contacts once more (replacing whatever is at path: callers pass a fresh
// temporary name). Throws XlsxError, and what the book's reading throws; a
// partial file may then remain at path for the caller to remove. Counts
// values shortened to a cell's limit.
void WriteXlsx(wab::BookContacts& book, const XlsxSheetPlan& plan, const std::string& path,
               ContactProgress& progress, LossReport& losses);

}  // namespace exports

// The whole book as an Excel workbook (.xlsx), written by a small writer of
// our own over zlib (XlsxPackage.h), row by row as the contacts are read, and
// the same bytes on every system: a sheet "Contacts" with every field of the model as
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

// The workbook could not be written; what() says why.
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
  friend void WriteXlsx(wab::BookContacts&, const XlsxSheetPlan&, int, ContactProgress&, LossReport&);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes the workbook of the book planned in plan to fd (a new, empty file),
// reading its contacts once more. Throws XlsxError, and what the book's
// reading throws; the caller then drops the partial file. Counts values
// shortened to a cell's limit.
void WriteXlsx(wab::BookContacts& book, const XlsxSheetPlan& plan, int fd, ContactProgress& progress,
               LossReport& losses);

}  // namespace exports

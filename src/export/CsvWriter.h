// CSV text of the book's contacts in the two layouts importers accept most
// widely, with the header names those programs write themselves:
//  - Outlook: English headers, three e-mail slots, UTF-8 with a byte-order
//    mark (spreadsheet programs detect UTF-8 by it);
//  - Google Contacts: numbered "E-mail N - Type"/"- Value" and
//    "Phone N - ..." columns, groups in "Group Membership" joined by " ::: ".
// Values are quoted per RFC 4180 when they hold a comma, a quote or a line
// break; records end with CR LF. A value a spreadsheet would run as a
// formula (RunsAsFormula) is written with a leading apostrophe, and counted:
// importers then see the apostrophe too. Whatever has no column (e-mail addresses
// beyond the slots, fields the layout lacks) goes into the notes, labelled,
// and is counted. Plain C++, no Qt; never fails.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "Completion.h"
#include "BookText.h"

namespace exports {

enum class CsvLayout { Outlook, Google };

// How many numbered columns of each kind the Google layout needs: the most
// any contact fills. Fit takes every contact before the header is written.
struct GoogleColumns {
  std::size_t emails = 1, phones = 1, relations = 1;
  void Fit(const wab::Contact& contact);
  // The fields Fit looks at besides addresses and children: a pass that
  // only fits the counts need decode no other text.
  static const wab::FieldSet& Fields();
};

class CsvWriter {
 public:
  // The book's groups, and its contacts when it holds them (the column
  // counts come from those); it must outlive the writer.
  CsvWriter(const wab::Book& book, CsvLayout layout);
  // For a book read a contact at a time: its outline, and the counts
  // fitted to all its contacts beforehand.
  CsvWriter(const wab::Book& outline, CsvLayout layout, const GoogleColumns& columns);

  // The byte-order mark when the layout has one, then the header record.
  void AppendHeader(std::string& out) const;
  // One record for the contact; every contact before CountGroupLosses.
  void AppendContact(const wab::Contact& contact, std::string& out);
  // Counts what the book's groups hold that a CSV file cannot show (call
  // once; membership itself travels with each contact).
  void CountGroupLosses();

  const std::vector<std::string>& headers() const { return headers_; }
  const LossReport& losses() const { return losses_; }

 private:
  void OutlookRow(const wab::Contact& c);
  void GoogleRow(const wab::Contact& c);

  const wab::Book& book_;
  BookIndex index_;
  CsvLayout layout_;
  std::vector<std::string> headers_;
  GoogleColumns google_;
  // The record's values: views of the contact's texts, or of owned_.
  std::string_view Own(std::string text) { return owned_.emplace_back(std::move(text)); }
  std::vector<std::string_view> row_;
  std::deque<std::string> owned_;  // never moves its texts while the record is built
  LossReport losses_;
};

// Whether a spreadsheet opening the CSV file would evaluate the cell: it
// begins with "=", "@", a tab or a carriage return, or with "+" or "-"
// unless the rest is a number or a phone number (digits, blanks, "()-./").
bool RunsAsFormula(std::string_view value);

// Appends the value as one CSV field: in double quotes, quotes doubled, when
// it holds a comma, a quote, CR or LF; as it is otherwise.
void AppendCsvField(std::string& out, std::string_view value);

}  // namespace exports

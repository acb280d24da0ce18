// One contact held as one text: its 21 fields joined with "|" in a fixed
// order. The tree node of the contact keeps this text; the detail view splits
// it again.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/AddressBookReader.h"

namespace scan {

inline constexpr int kRecordFieldCount = 21;

// The reader field behind each record position. Country stands twice: the
// reader offers one country, shown for the business and the home address.
inline constexpr std::array<automation::ReaderField, kRecordFieldCount> kRecordFields = [] {
  using enum automation::ReaderField;
  return std::array{Name,         MiddleName,     Surname,       HomeEmail,  CompanyName, BusinessAddress,
                    City,         Postal,         Province,      Country,    OfficeLocation, CompanyURL,
                    Department,   BusinessPhone,  BusinessFax,   CellPhone,  HomeAddress, Country,
                    HomePhone,    Fax,            Comment};
}();

// The order in which the scan asks the reader for the fields (CellPhone comes
// after Fax here but sits at position 15 of the record).
inline constexpr std::array<automation::ReaderField, kRecordFieldCount> kScanReadOrder = [] {
  using enum automation::ReaderField;
  return std::array{Name,        MiddleName,    Surname,     HomeEmail,   CompanyName, BusinessAddress,
                    City,        Postal,        Province,    Country,     OfficeLocation, CompanyURL,
                    Department,  BusinessPhone, BusinessFax, HomeAddress, Country,     HomePhone,
                    Fax,         CellPhone,     Comment};
}();

// "|" separates the fields. A value holding "|" would shift every later field,
// so inside a field "|" is stored as ESC 'p' and ESC itself as ESC 'e'. Values
// holding neither character (every ordinary one) are stored exactly as read.
// Texts are UTF-8; both characters are ASCII, so no other character's bytes
// can be taken for them.
inline constexpr char kSeparator = '|';
inline constexpr char kEscape = '\x1B';

std::string EncodeField(const std::string& value);
// Undoes EncodeField; an ESC not followed by 'p' or 'e' is kept as it is.
std::string DecodeField(const std::string& stored);

// Joins the values in record order; missing values count as empty, values
// beyond the 21st are ignored.
std::string JoinRecord(const std::vector<std::string>& values);
// Splits a record text at every "|" and decodes each part. A record this
// program stored always gives exactly 21 parts.
std::vector<std::string> SplitRecord(const std::string& record);

namespace detail {
// The n-th read of a field lands on the n-th record position holding it; -1
// for a read with no place in the record.
constexpr std::array<int, kRecordFieldCount> RecordPositionsOfReads() {
  std::array<int, kRecordFieldCount> at{};
  for (int r = 0; r < kRecordFieldCount; ++r) {
    int earlier = 0;
    for (int q = 0; q < r; ++q) earlier += kScanReadOrder[q] == kScanReadOrder[r];
    at[r] = -1;
    for (int p = 0; p < kRecordFieldCount && at[r] < 0; ++p)
      if (kRecordFields[p] == kScanReadOrder[r] && earlier-- == 0) at[r] = p;
  }
  return at;
}
}  // namespace detail

// Record position of each read, in kScanReadOrder: only CellPhone (read
// 20th) moves, to position 15.
inline constexpr std::array<int, kRecordFieldCount> kRecordPositionOfRead = detail::RecordPositionsOfReads();

// The first record position holding field; -1 when none does.
constexpr int RecordPositionOf(automation::ReaderField field) {
  for (int p = 0; p < kRecordFieldCount; ++p)
    if (kRecordFields[p] == field) return p;
  return -1;
}

// Select must already have been called: reads the 21 fields in the scan's read
// order and returns them in record order.
std::vector<std::string> ReadContactFields(automation::AddressBookReader& reader);

}  // namespace scan

// One contact held as one text: its 21 fields joined with "|" in a fixed
// order. The tree node of the contact keeps this text; the detail view splits
// it again.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace automation {
class AddressBookReader;
}

namespace scan {

inline constexpr int kRecordFieldCount = 21;

// The reader key behind each record position. Country stands twice: the
// reader offers one country, shown for the business and the home address.
inline constexpr std::array<std::string_view, kRecordFieldCount> kRecordKeys{
    "Name",       "MiddleName",    "Surname",     "HomeEmail",  "CompanyName",    "BusinessAddress",
    "City",       "Postal",        "Province",    "Country",    "OfficeLocation", "CompanyURL",
    "Department", "BusinessPhone", "BusinessFax", "CellPhone",  "HomeAddress",    "Country",
    "HomePhone",  "Fax",           "Comment"};

// The order in which the scan asks the reader for the fields (CellPhone comes
// after Fax here but sits at position 15 of the record).
inline constexpr std::array<std::string_view, kRecordFieldCount> kScanReadOrder{
    "Name",           "MiddleName", "Surname",    "HomeEmail",     "CompanyName", "BusinessAddress",
    "City",           "Postal",     "Province",   "Country",       "OfficeLocation", "CompanyURL",
    "Department",     "BusinessPhone", "BusinessFax", "HomeAddress", "Country",   "HomePhone",
    "Fax",            "CellPhone",  "Comment"};

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

// Record position of each read, in kScanReadOrder: only CellPhone (read
// 20th) moves, to position 15.
inline constexpr std::array<int, kRecordFieldCount> kRecordPositionOfRead{0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                                                          11, 12, 13, 14, 16, 17, 18, 19, 15, 20};

// Select must already have been called: reads the 21 fields in the scan's read
// order and returns them in record order.
std::vector<std::string> ReadContactFields(automation::AddressBookReader& reader);

}  // namespace scan

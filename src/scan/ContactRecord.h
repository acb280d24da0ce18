// One contact held as one text: its 21 fields joined with "|" in a fixed
// order. The tree node of the contact keeps this text; the detail view splits
// it again.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <string_view>

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
inline constexpr QChar kSeparator = u'|';
inline constexpr QChar kEscape = QChar(0x1B);

QString EncodeField(const QString& value);
// Undoes EncodeField; an ESC not followed by 'p' or 'e' is kept as it is.
QString DecodeField(const QString& stored);

// Joins the values in record order; missing values count as empty, values
// beyond the 21st are ignored.
QString JoinRecord(const QStringList& values);
// Splits a record text at every "|" and decodes each part. A record this
// program stored always gives exactly 21 parts.
QStringList SplitRecord(const QString& record);

// Select must already have been called: reads the 21 fields in the scan's read
// order and returns them in record order.
QStringList ReadContactFields(automation::AddressBookReader& reader);

}  // namespace scan

// The address-book reader component (ProgID "warjo.wab"): a cursor over the
// contacts of one .wab file. Callers create it through the automation
// registry, Open a path, ask GetCount, then Select each index in turn and
// read the fields they want with GetValue.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Automation.h"

namespace automation {

inline constexpr const char* kAddressBookReaderProgId = "warjo.wab";

// The 20 field keys the reader answers, in the order the reader documents them.
inline constexpr std::array<std::string_view, 20> kReaderFieldKeys{
    "Name",          "MiddleName",     "Surname",    "HomeEmail",     "CompanyName",
    "BusinessAddress", "City",         "Postal",     "Province",      "Country",
    "OfficeLocation", "CompanyURL",    "Department", "BusinessPhone", "BusinessFax",
    "HomeAddress",   "HomePhone",      "Fax",        "CellPhone",     "Comment"};

// The text every caller shows for a file that is not an address book.
inline constexpr const char* kNotAnAddressBook = "NOT a Correct Windows Address Book File.";

class AddressBookReader : public Object {
 public:
  // Throws AutomationError: a missing or unreadable file (the message names
  // the file and the cause), or kNotAnAddressBook for a file that is not one.
  virtual void Open(const std::string& path) = 0;
  // Live contacts of the open book; 0 before Open.
  virtual std::int32_t GetCount() = 0;
  // 0-based; throws AutomationError for an index outside 0..GetCount()-1.
  virtual void Select(std::int32_t index) = 0;
  // The selected contact's field as UTF-8; empty for an absent field or an
  // unknown key, and before any Select.
  virtual std::string GetValue(const std::string& key) = 0;
  // Damaged records that Open skipped so the readable contacts are not lost.
  virtual std::int32_t SkippedRecords() const { return 0; }
  // The book's own id of the selected contact's record, for tying it to a
  // model of the whole book; none from readers that do not know it.
  virtual std::optional<std::uint32_t> SelectedRecordId() const { return std::nullopt; }
};

}  // namespace automation

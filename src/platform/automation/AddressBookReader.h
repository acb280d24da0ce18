// The address-book reader component (ProgID "warjo.wab"): a cursor over the
// contacts of one .wab file. Callers create it through the automation
// registry, Open a path, ask GetCount, then Select each index in turn and
// read the fields they want with GetValue.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Automation.h"

namespace automation {

inline constexpr const char* kAddressBookReaderProgId = "warjo.wab";

// The reader's fields: the designed 20 in the order the reader documents
// them, then HomeCountry, a key the real reader answers beyond them (the
// designed "Country" is the business one). Every order of fields in the
// program is written as an array of these, so a slip fails to compile.
enum class ReaderField : std::uint8_t {
  Name, MiddleName, Surname, HomeEmail, CompanyName, BusinessAddress, City, Postal, Province, Country,
  OfficeLocation, CompanyURL, Department, BusinessPhone, BusinessFax, HomeAddress, HomePhone, Fax, CellPhone,
  Comment, HomeCountry,
};
constexpr std::size_t FieldIndex(ReaderField f) { return static_cast<std::size_t>(f); }
inline constexpr std::size_t kReaderFieldCount = FieldIndex(ReaderField::HomeCountry) + 1;
// The designed fields are the ones before HomeCountry.
inline constexpr std::size_t kDesignedFieldCount = FieldIndex(ReaderField::HomeCountry);

struct ReaderKeyRow {
  ReaderField field;
  std::string_view key;
};
// The key GetValue takes for each field; the one place a key is spelled.
inline constexpr std::array<ReaderKeyRow, kReaderFieldCount> kReaderKeyTable{{
    {ReaderField::Name, "Name"},
    {ReaderField::MiddleName, "MiddleName"},
    {ReaderField::Surname, "Surname"},
    {ReaderField::HomeEmail, "HomeEmail"},
    {ReaderField::CompanyName, "CompanyName"},
    {ReaderField::BusinessAddress, "BusinessAddress"},
    {ReaderField::City, "City"},
    {ReaderField::Postal, "Postal"},
    {ReaderField::Province, "Province"},
    {ReaderField::Country, "Country"},
    {ReaderField::OfficeLocation, "OfficeLocation"},
    {ReaderField::CompanyURL, "CompanyURL"},
    {ReaderField::Department, "Department"},
    {ReaderField::BusinessPhone, "BusinessPhone"},
    {ReaderField::BusinessFax, "BusinessFax"},
    {ReaderField::HomeAddress, "HomeAddress"},
    {ReaderField::HomePhone, "HomePhone"},
    {ReaderField::Fax, "Fax"},
    {ReaderField::CellPhone, "CellPhone"},
    {ReaderField::Comment, "Comment"},
    {ReaderField::HomeCountry, "HomeCountry"},
}};

namespace detail {
constexpr bool KeysFollowTheFields() {
  for (std::size_t i = 0; i < kReaderKeyTable.size(); ++i) {
    if (FieldIndex(kReaderKeyTable[i].field) != i || kReaderKeyTable[i].key.empty()) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (kReaderKeyTable[j].key == kReaderKeyTable[i].key) return false;
  }
  return true;
}
static_assert(KeysFollowTheFields(), "one distinct key per field, in the fields' order");
}  // namespace detail

constexpr std::string_view Key(ReaderField f) { return kReaderKeyTable[FieldIndex(f)].key; }

// True when fields holds every reader field exactly once.
template <std::size_t N>
constexpr bool IsOrderOfAllFields(const std::array<ReaderField, N>& fields) {
  std::array<bool, kReaderFieldCount> seen{};
  for (ReaderField f : fields) {
    if (FieldIndex(f) >= kReaderFieldCount || seen[FieldIndex(f)]) return false;
    seen[FieldIndex(f)] = true;
  }
  return N == kReaderFieldCount;
}

// The fields a table's rows name, in row order, for checking the table.
template <class Row, std::size_t N>
constexpr std::array<ReaderField, N> FieldsOf(const std::array<Row, N>& rows, ReaderField Row::*field) {
  std::array<ReaderField, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = rows[i].*field;
  return out;
}

// The 20 designed keys, in the order the reader documents them.
inline constexpr std::array<std::string_view, kDesignedFieldCount> kReaderFieldKeys = [] {
  std::array<std::string_view, kDesignedFieldCount> keys{};
  for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = kReaderKeyTable[i].key;
  return keys;
}();

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

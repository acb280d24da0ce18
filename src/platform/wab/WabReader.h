// The address-book reader component "warjo.wab" over WabFile: a cursor over
// the live contacts of one .wab file, handing out their fields as UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/HeldBook.h"
#include "platform/wab/WabFile.h"

namespace wab {

// The MAPI property ID each reader field comes from. Name falls back to the
// display name (0x3001) when the contact has neither a given name nor a
// surname; HomeEmail is the default entry of the e-mail list (0x3A56 at
// index 0x3A55), else 0x3003. HomeCountry is the home address's country.
struct FieldSource {
  automation::ReaderField field;
  std::uint16_t id;
};
inline constexpr std::array<FieldSource, automation::kReaderFieldCount> kFieldSources{{
    {automation::ReaderField::Name, 0x3A06},
    {automation::ReaderField::MiddleName, 0x3A44},
    {automation::ReaderField::Surname, 0x3A11},
    {automation::ReaderField::HomeEmail, 0x3003},
    {automation::ReaderField::CompanyName, 0x3A16},
    {automation::ReaderField::BusinessAddress, 0x3A29},
    {automation::ReaderField::City, 0x3A27},
    {automation::ReaderField::Postal, 0x3A2A},
    {automation::ReaderField::Province, 0x3A28},
    {automation::ReaderField::Country, 0x3A26},
    {automation::ReaderField::OfficeLocation, 0x3A19},
    {automation::ReaderField::CompanyURL, 0x3A51},
    {automation::ReaderField::Department, 0x3A18},
    {automation::ReaderField::BusinessPhone, 0x3A08},
    {automation::ReaderField::BusinessFax, 0x3A24},
    {automation::ReaderField::HomeAddress, 0x3A5D},
    {automation::ReaderField::HomePhone, 0x3A09},
    {automation::ReaderField::Fax, 0x3A25},
    {automation::ReaderField::CellPhone, 0x3A1C},
    {automation::ReaderField::Comment, 0x3004},
    {automation::ReaderField::HomeCountry, 0x3A5A},
}};
static_assert(automation::IsOrderOfAllFields(automation::FieldsOf(kFieldSources, &FieldSource::field)),
              "every reader field needs exactly one source");

// A key the reader answers beyond its designed 20.
inline constexpr std::string_view kHomeCountryKey = automation::Key(automation::ReaderField::HomeCountry);

class WabReader : public automation::AddressBookReader, public HeldBook {
 public:
  // 8-bit strings are decoded from codePage (Windows code page number);
  // the default is the ANSI code page of the user's locale.
  WabReader();
  explicit WabReader(int codePage);

  // Throws automation::AutomationError: for a missing, unreadable or
  // non-regular file the message names the file and the cause; for a file
  // that is not an address book it is exactly automation::kNotAnAddressBook;
  // a book larger than kMaxBookSize is refused, naming its size, before it
  // is read. A failed Open leaves the reader empty. Select and GetValue
  // throw AutomationError when the file is cut short while it is read.
  void Open(const std::string& path) override;
  // Open over bytes already in memory; name stands for the file in messages.
  void OpenBytes(std::string bytes, const std::string& name);

  std::int32_t GetCount() override;
  void Select(std::int32_t index) override;
  std::string GetValue(const std::string& key) override;
  StoredText GetStoredValue(const std::string& key) const override;
  void Decode(const StoredText& text, std::string& out) const override;
  std::int32_t SkippedRecords() const override;
  std::optional<std::uint32_t> SelectedRecordId() const override;

  int CodePage() const override { return codePage_; }
  const WabFile* File() const override { return file_ ? &*file_ : nullptr; }
  void SetCodePage(int codePage) override { codePage_ = codePage; }
  const Record* SelectedRecord() const override { return selected_ && recordRead_ ? &record_ : nullptr; }

 private:
  struct Text {
    std::string_view bytes;
    bool unicode = true;
    bool present = false;
  };

  void Reset();
  void Load(BookBytes bytes, const std::string& name);

  int codePage_;
  std::optional<WabFile> file_;
  std::string name_;  // the file, for messages
  PageRelease release_;
  std::vector<std::uint32_t> contacts_;  // record offsets, record-index order
  bool selected_ = false;
  bool recordRead_ = false;  // the selected contact's record, not damaged
  Record record_;  // the selected contact, parsed; fields_ point into the file
  std::array<Text, automation::kReaderFieldCount> fields_{};  // by automation::FieldIndex
};

// Reads and parses the book at path, failing as WabReader::Open documents
// (AutomationError naming the file and cause, or kNotAnAddressBook). The
// reader and the whole-book model both open files through it.
WabFile OpenBookFile(const std::string& path);

// Registers WabReader under "warjo.wab" in automation::Registry::Instance().
void RegisterComponent();

}  // namespace wab

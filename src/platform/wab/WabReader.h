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

// MAPI property IDs each reader key comes from, in kReaderFieldKeys order.
// Name falls back to the display name (0x3001) when the contact has neither
// a given name nor a surname; HomeEmail is the default entry of the e-mail
// list (0x3A56 at index 0x3A55), else 0x3003.
inline constexpr std::array<std::uint16_t, 20> kFieldSources{
    0x3A06, 0x3A44, 0x3A11, 0x3003, 0x3A16, 0x3A29, 0x3A27, 0x3A2A, 0x3A28, 0x3A26,
    0x3A19, 0x3A51, 0x3A18, 0x3A08, 0x3A24, 0x3A5D, 0x3A09, 0x3A25, 0x3A1C, 0x3004};

// A key the reader answers beyond its designed 20: the home address's
// country (the designed "Country" is the business one).
inline constexpr std::string_view kHomeCountryKey = "HomeCountry";

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
  std::array<Text, 20> fields_{};
  Text homeCountry_{};
};

// Reads and parses the book at path, failing as WabReader::Open documents
// (AutomationError naming the file and cause, or kNotAnAddressBook). The
// reader and the whole-book model both open files through it.
WabFile OpenBookFile(const std::string& path);

// Registers WabReader under "warjo.wab" in automation::Registry::Instance().
void RegisterComponent();

}  // namespace wab

// A test-only writer of Windows Address Book (.wab) files, so tests,
// fuzz seeds and benchmarks can make books with exactly the contents they
// need. It writes the layout a fresh book has: the fixed header, the
// named-property map, the record index, the five sort indexes and the
// records back to back.
//
// Typical use:
//
//   testsupport::wab::Book book;
//   book.records.push_back(testsupport::wab::Contact(2, {
//       testsupport::wab::Unicode(testsupport::wab::kGivenName, "Ada"),
//       testsupport::wab::Unicode(testsupport::wab::kSurname, "Lovelace")}));
//   testsupport::wab::WriteBookFile(dir / "ada.wab", book);
//
// For a book of N realistic contacts (benchmarks, exports, window tests):
//
//   testsupport::WriteGeneratedBook(path, 1000);
//   auto values = testsupport::GeneratedContactValues(17);  // what the reader gives
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wab/BookLayout.h"

namespace testsupport {
namespace wab {

// Property types.
inline constexpr std::uint16_t kI2 = 0x0002;
inline constexpr std::uint16_t kLong = 0x0003;
inline constexpr std::uint16_t kString8 = 0x001E;
inline constexpr std::uint16_t kUnicode = 0x001F;
inline constexpr std::uint16_t kSysTime = 0x0040;
inline constexpr std::uint16_t kBinary = 0x0102;
inline constexpr std::uint16_t kMv = 0x1000;

// Property IDs of the fields the reader hands out, and a few more.
inline constexpr std::uint16_t kObjectType = 0x0FFE;
inline constexpr std::uint16_t kEntryId = 0x0FFF;
inline constexpr std::uint16_t kDisplayName = 0x3001;
inline constexpr std::uint16_t kAddrType = 0x3002;
inline constexpr std::uint16_t kEmailAddress = 0x3003;
inline constexpr std::uint16_t kComment = 0x3004;
inline constexpr std::uint16_t kLastModified = 0x3008;
inline constexpr std::uint16_t kGivenName = 0x3A06;
inline constexpr std::uint16_t kBusinessPhone = 0x3A08;
inline constexpr std::uint16_t kHomePhone = 0x3A09;
inline constexpr std::uint16_t kSurname = 0x3A11;
inline constexpr std::uint16_t kCompanyName = 0x3A16;
inline constexpr std::uint16_t kDepartment = 0x3A18;
inline constexpr std::uint16_t kOfficeLocation = 0x3A19;
inline constexpr std::uint16_t kCellPhone = 0x3A1C;
inline constexpr std::uint16_t kBusinessFax = 0x3A24;
inline constexpr std::uint16_t kHomeFax = 0x3A25;
inline constexpr std::uint16_t kCountry = 0x3A26;
inline constexpr std::uint16_t kCity = 0x3A27;
inline constexpr std::uint16_t kProvince = 0x3A28;
inline constexpr std::uint16_t kBusinessStreet = 0x3A29;
inline constexpr std::uint16_t kPostalCode = 0x3A2A;
inline constexpr std::uint16_t kMiddleName = 0x3A44;
inline constexpr std::uint16_t kNickname = 0x3A4F;
inline constexpr std::uint16_t kBusinessHomePage = 0x3A51;
inline constexpr std::uint16_t kAddrTypes = 0x3A54;
inline constexpr std::uint16_t kDefaultAddressIndex = 0x3A55;
inline constexpr std::uint16_t kEmailAddresses = 0x3A56;
inline constexpr std::uint16_t kHomeCountry = 0x3A5A;
inline constexpr std::uint16_t kHomeStreet = 0x3A5D;
inline constexpr std::uint16_t kMembers = 0x6600;
inline constexpr std::uint16_t kFolderLink = 0x800B;  // file-local ID of the folder link

// Property IDs in the order of the reader's 20 keys (Name ... Comment).
inline constexpr std::array<std::uint16_t, 20> kKeyProperties{
    kGivenName,      kMiddleName,     kSurname,      kEmailAddress,  kCompanyName,
    kBusinessStreet, kCity,           kPostalCode,   kProvince,      kCountry,
    kOfficeLocation, kBusinessHomePage, kDepartment, kBusinessPhone, kBusinessFax,
    kHomeStreet,     kHomePhone,      kHomeFax,      kCellPhone,     kComment};

enum Kind : std::uint32_t { kContact = 1, kGroup = 2, kFolder = 3 };

constexpr std::uint32_t Tag(std::uint16_t id, std::uint16_t type) {
  return (static_cast<std::uint32_t>(id) << 16) | type;
}

struct Property {
  std::uint32_t tag = 0;
  std::string value;                  // single-valued: the stored bytes
  std::vector<std::string> elements;  // multi-valued: each element's bytes
};

// UTF-16LE with its NUL, as books store text.
Property Unicode(std::uint16_t id, std::string_view utf8);
// 8-bit text in a Windows code page, with its NUL.
Property String8(std::uint16_t id, std::string_view utf8, int codePage = 1252);
Property MvUnicode(std::uint16_t id, const std::vector<std::string>& utf8);
Property MvString8(std::uint16_t id, const std::vector<std::string>& utf8, int codePage = 1252);
Property Long(std::uint16_t id, std::uint32_t value);
Property SysTime(std::uint16_t id, std::uint64_t fileTime);
// Any tag with raw bytes (single) or raw elements (multi-valued tags).
Property Raw(std::uint32_t tag, std::string bytes);
Property RawList(std::uint32_t tag, std::vector<std::string> elements);

// The e-mail properties a book keeps for a contact: the list, its address
// types, the default index and the default address repeated on its own.
std::vector<Property> Emails(const std::vector<std::string>& addresses, std::uint32_t defaultIndex,
                             bool eightBit = false, int codePage = 1252);

struct Record {
  std::uint32_t recordId = 0;
  std::uint32_t kind = kContact;
  bool current = true;  // false: an obsolete copy or a deleted record
  std::vector<Property> properties;
};

// A contact with the given fields plus what every record carries (entry
// ID, object type, modification time), in that order.
Record Contact(std::uint32_t recordId, std::vector<Property> fields);
// A group (distribution list) and a folder with member record IDs.
Record Group(std::uint32_t recordId, std::string_view name, const std::vector<std::uint32_t>& members);
Record Folder(std::uint32_t recordId, std::string_view name, const std::vector<std::uint32_t>& members);
// The link from a contact or group to the folder that holds it.
Property FolderLink(std::uint32_t folderId);
// The same record as an obsolete copy (older version or deleted record).
Record Obsolete(Record r);

struct Book {
  bool oldSignature = false;
  // Every copy, in file order. Current copies go into the record index.
  std::vector<Record> records;
  // Record IDs in record-index order; empty: every current record by ID.
  std::vector<std::uint32_t> indexOrder;
  // Slots per table; raised to fit the records.
  std::uint32_t capacity = 500;
  // Put the tables after the records instead of before them.
  bool tablesAfterRecords = false;
};

// Where things went, for tests that damage a book on purpose.
struct Layout {
  std::array<std::uint32_t, 6> tableOffsets{};
  std::uint32_t recordAreaStart = 0;
  std::uint32_t recordAreaEnd = 0;
  std::vector<std::uint32_t> recordOffsets;  // parallel to Book::records
};

inline constexpr std::uint32_t kDescriptorOffset = ::wab::header::kTables;  // six descriptors from here

std::string WriteBook(const Book& book, Layout* layout = nullptr);
// Writes to a temporary name first, then renames over path.
void WriteBookFile(const std::filesystem::path& path, const Book& book, Layout* layout = nullptr);

}  // namespace wab

// A book of count realistic contacts (record IDs from 3, in one folder,
// with a group and a few obsolete copies), deterministic for a count.
// Names, e-mail lists with varying default index, phones, multi-line
// addresses and comments vary from contact to contact; some contacts carry
// accented or CJK text, some only an e-mail address and display name.
wab::Book GeneratedBook(std::size_t count);
void WriteGeneratedBook(const std::filesystem::path& path, std::size_t count);
// The 20 values the reader gives for contact index of a generated book, in
// the reader's key order (Name, MiddleName, Surname, HomeEmail, ...).
std::array<std::string, 20> GeneratedContactValues(std::size_t index);

}  // namespace testsupport

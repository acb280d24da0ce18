// Decoder of Windows Address Book (.wab) files, free of Qt.
//
// A book is a fixed header with six table descriptors, a record index
// (table 0: record ID -> file offset of the record's current copy), five
// sort indexes we do not need, and records packed back to back. A record is
// a 32-byte header, a list of MAPI property tags and a value area that
// repeats every tag before its value. Records are never edited in place:
// older copies stay in the file, marked obsolete, and only the copies the
// index points at are live.
//
// Nothing read from the file is trusted: every length, count and offset is
// checked against the file before it is used, with 64-bit arithmetic.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wab/BookBytes.h"
#include "platform/wab/BookLayout.h"

namespace wab {

// The 16 bytes a book starts with (the {8DCBCB9C-7513-11D2-...} GUID).
inline constexpr std::array<std::uint8_t, 16> kSignature{
    0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11, 0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};
// The older signature ({C1843281-0585-11D0-...}); read with the same layout.
inline constexpr std::array<std::uint8_t, 16> kOldSignature{
    0x81, 0x32, 0x84, 0xC1, 0x85, 0x05, 0xD0, 0x11, 0xB2, 0x90, 0x00, 0xAA, 0x00, 0x3C, 0xF6, 0x76};

// Fixed header size: magic, two counters, six descriptors, three words and
// the descriptor of the named-property map.
inline constexpr std::uint32_t kHeaderSize = header::kEnd;
inline constexpr std::uint32_t kTableCount = 6;
inline constexpr std::uint32_t kIndexEntrySize = IndexSlot::kSize;  // table 0
inline constexpr std::uint32_t kTextEntrySize = 68;                 // tables 1..5
inline constexpr std::uint32_t kRecordHeaderSize = RecordHeader::kSize;

// The largest book opened. Record offsets are 32-bit, so the format allows
// up to 4 GiB, but real books stay far below that: a contact with every
// field the reader knows filled in takes about 1.4 KiB (a generated book of
// 32,766 such contacts is 46 MB). A gigabyte holds some 700,000 full
// contacts; anything larger is refused before a byte of it is read.
inline constexpr std::uint64_t kMaxBookSize = 1ull << 30;

// MAPI property types the decoder distinguishes.
inline constexpr std::uint16_t kTypeLong = 0x0003;
inline constexpr std::uint16_t kTypeString8 = 0x001E;
inline constexpr std::uint16_t kTypeUnicode = 0x001F;
inline constexpr std::uint16_t kMultiValued = 0x1000;

// Header word +4 of a record.
enum class RecordKind : std::uint32_t { Contact = 1, Group = 2, Folder = 3 };

// Thrown by WabFile::Parse when the bytes are not an address book at all
// (wrong signature, impossible header or tables). what() says why.
class NotAnAddressBook : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One property of a parsed record; views point into the file's bytes.
struct Property {
  std::uint32_t tag = 0;
  // Single-valued: the value bytes. Multi-valued: the element area, i.e.
  // count elements, each a u32 length followed by that many bytes.
  std::string_view data;
  std::uint32_t count = 0;  // elements, multi-valued only

  std::uint16_t id() const { return static_cast<std::uint16_t>(tag >> 16); }
  std::uint16_t type() const { return static_cast<std::uint16_t>(tag & 0xFFFF); }
  bool multiValued() const { return (type() & kMultiValued) != 0; }
  // Element i of a multi-valued property (bounds were checked when the
  // record was parsed); nullopt past the end.
  std::optional<std::string_view> Element(std::uint32_t i) const;
};

struct Record {
  std::uint32_t offset = 0;  // file offset of the header
  std::uint32_t size = 0;    // header + tags + values
  bool current = false;      // header word +0: 1 current copy, 0 obsolete
  std::uint32_t kind = 0;    // RecordKind, or an unknown value
  std::uint32_t recordId = 0;
  std::vector<Property> properties;  // in the record's own order

  // The first property with this ID (any type), or nullptr.
  const Property* Find(std::uint16_t id) const;
};

// A live record as the index lists it, already checked.
struct IndexEntry {
  std::uint32_t recordId = 0;
  std::uint32_t offset = 0;
  std::uint32_t kind = 0;
};

// An index entry Parse left out, and why.
struct SkippedRecord {
  std::uint32_t recordId = 0;
  std::uint32_t offset = 0;  // where the index says the record is
  std::string why;
};

// Why a read fails when the file was cut short under the program.
inline constexpr const char* kBookCutShort = "the file was cut short while it was being read";

class WabFile {
 public:
  // Checks the header and tables, then every record the index lists.
  // Damaged records are left out and counted in Skipped(); overlapping
  // records (two index entries claiming the same bytes) count as damaged.
  // Throws NotAnAddressBook.
  static WabFile Parse(std::string bytes);
  // The same over bytes held either way (a mapped file or a string).
  static WabFile Parse(BookBytes bytes);

  std::string_view Bytes() const { return bytes_.View(); }
  // False once a mapped file was found cut short under the program: what
  // was read since may be zeros, and the book is to be reported damaged.
  bool Intact() const { return bytes_.Intact(); }
  // Hands a mapped file's pages back to the kernel (see BookBytes).
  void ReleasePages() const { bytes_.Release(); }
  bool OldSignature() const { return oldSignature_; }
  const std::array<TableDescriptor, kTableCount>& Tables() const { return tables_; }
  // Live, readable records of every kind, in record-index order.
  const std::vector<IndexEntry>& Records() const { return records_; }
  // Index entries whose record was damaged, duplicated or unreadable.
  std::uint32_t Skipped() const { return skipped_; }
  // The first kKeptSkips of them with their reason, in record-index order;
  // past that they are only counted, so a book of a million damaged
  // entries costs no more room than one of a hundred.
  static constexpr std::size_t kKeptSkips = 1000;
  const std::vector<SkippedRecord>& SkippedList() const { return skippedList_; }

  // Parses the record at offset (current or obsolete). On damage returns
  // nullopt and, when why is given, says what was wrong.
  std::optional<Record> ReadRecord(std::uint32_t offset, std::string* why = nullptr) const;
  // The same into a record the caller keeps, so repeated reads reuse its room.
  bool ReadRecord(std::uint32_t offset, Record& out, std::string* why = nullptr) const;

 private:
  BookBytes bytes_;
  bool oldSignature_ = false;
  std::array<TableDescriptor, kTableCount> tables_{};
  std::vector<IndexEntry> records_;
  std::uint32_t skipped_ = 0;
  std::vector<SkippedRecord> skippedList_;
};

// A pass over a book's records that keeps only the pages it read lately
// mapped: after every few megabytes read it hands the pages back. One per
// pass (and thread); they share nothing.
class PageRelease {
 public:
  void Passed(const WabFile& file, std::size_t bytes) {
    since_ += bytes;
    if (since_ > kResidentBytes) Now(file);
  }
  void Now(const WabFile& file) {
    file.ReleasePages();
    since_ = 0;
  }

 private:
  static constexpr std::size_t kResidentBytes = 8u << 20;
  std::size_t since_ = 0;
};

// Text of a single-valued string property, or of one element of a
// multi-valued one, as UTF-8: UTF-16LE for the Unicode types, the given
// ANSI code page for the 8-bit ones. The text ends at the first NUL (the
// stored terminator); an odd trailing byte of UTF-16 is dropped.
std::string DecodeText(std::string_view bytes, bool unicode, int codePage);
// The same into out, reusing its room: a reused contact decodes without
// allocating once its texts have grown.
void DecodeText(std::string_view bytes, bool unicode, int codePage, std::string& out);
// A text as the book stores it, for decoding later (DecodeText).
struct StoredText {
  std::string_view bytes;
  bool unicode = true;
};

// True when the property holds text (8-bit or UTF-16, single-valued).
bool IsText(const Property& p);
// True when the property holds a list of texts (8-bit or UTF-16).
bool IsTextList(const Property& p);

}  // namespace wab

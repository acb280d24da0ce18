// The fixed-size structures of a .wab file, each decoded and encoded in this
// one place: the record header, the table descriptors and the file header's
// words around them. The reader (WabFile, WabBook) and the tests' book
// writer share these, so both sides agree on every offset.
//
// Decode reads exactly kSize bytes and checks nothing: the caller has made
// sure they are inside the file, and judges the values itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/LittleEndian.h"

namespace wab {

// The 32 bytes in front of every record: then the tag list (propCount
// tags) and the value area (dataLen bytes).
struct RecordHeader {
  static constexpr std::size_t kSize = 0x20;

  std::uint32_t copy = 0;         // +0x00: 1 current copy, 0 obsolete or deleted
  std::uint32_t kind = 0;         // +0x04: RecordKind
  std::uint32_t recordId = 0;     // +0x08
  std::uint32_t propCount = 0;    // +0x0C: tags in the list
  std::uint32_t headerSize = 0;   // +0x10: kSize in every sound record
  std::uint32_t tagBytes = 0;     // +0x14: 4 * propCount
  std::uint32_t tagBytes2 = 0;    // +0x18: the same again
  std::uint32_t dataLen = 0;      // +0x1C: bytes of the value area

  // Header, tag list and value area; 64-bit, as nothing here is trusted.
  std::uint64_t RecordSize() const { return std::uint64_t{kSize} + tagBytes + dataLen; }

  static RecordHeader Decode(std::string_view at) {
    const char* p = at.data();
    return {le::Get32(p), le::Get32(p + 4), le::Get32(p + 8), le::Get32(p + 12),
            le::Get32(p + 16), le::Get32(p + 20), le::Get32(p + 24), le::Get32(p + 28)};
  }
  void Encode(char* out) const {
    const std::uint32_t words[] = {copy, kind, recordId, propCount, headerSize, tagBytes, tagBytes2, dataLen};
    for (std::size_t i = 0; i < std::size(words); ++i) le::Put32(out + 4 * i, words[i]);
  }
  std::string Encode() const {
    std::string out(kSize, '\0');
    Encode(out.data());
    return out;
  }
};

// Where a table (or the named-property map) lies: 16 bytes in the header.
struct TableDescriptor {
  static constexpr std::size_t kSize = 16;

  std::uint32_t allocated = 0;  // bytes reserved for the table
  std::uint32_t used = 0;       // count * entry size
  std::uint32_t offset = 0;     // file offset
  std::uint32_t count = 0;      // entries in use

  static TableDescriptor Decode(std::string_view at) {
    const char* p = at.data();
    return {le::Get32(p), le::Get32(p + 4), le::Get32(p + 8), le::Get32(p + 12)};
  }
  void Encode(char* out) const {
    le::Put32(out, allocated);
    le::Put32(out + 4, used);
    le::Put32(out + 8, offset);
    le::Put32(out + 12, count);
  }
};

// Offsets of the file header's fields after the 16-byte signature.
namespace header {
inline constexpr std::size_t kObsoleteCopies = 0x10;  // copies no index entry points at
inline constexpr std::size_t kHighestId = 0x14;       // last record ID handed out
inline constexpr std::size_t kTables = 0x18;          // six TableDescriptors from here
inline constexpr std::size_t kLiveRecords = 0x78;     // entries in table 0
inline constexpr std::size_t kCapacity = 0x7C;        // slots of every table
inline constexpr std::size_t kUnknown80 = 0x80;       // 0x1000 in fresh books; meaning unknown
inline constexpr std::size_t kNamedMap = 0x84;        // TableDescriptor of the named-property map
inline constexpr std::size_t kEnd = 0x94;

// Descriptor t (0 record index, 1..5 sort indexes) of a header.
inline std::size_t Table(std::size_t t) { return kTables + TableDescriptor::kSize * t; }
}  // namespace header

// One entry of table 0: a record ID and the offset of its current copy.
struct IndexSlot {
  static constexpr std::size_t kSize = 8;

  std::uint32_t recordId = 0;
  std::uint32_t offset = 0;

  static IndexSlot Decode(std::string_view at) { return {le::Get32(at.data()), le::Get32(at.data() + 4)}; }
  void Encode(char* out) const {
    le::Put32(out, recordId);
    le::Put32(out + 4, offset);
  }
};

}  // namespace wab

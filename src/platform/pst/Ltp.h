// Heap-on-node, B-tree-on-heap, property contexts and table contexts: the
// layer both file formats share, cut into blocks for the node database.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/codepage/AnsiEncoder.h"
#include "platform/pst/Bytes.h"
#include "platform/pst/NodeContent.h"

namespace pst::detail {

// The few things the formats differ in above the node database.
struct LtpFormat {
  bool unicode = true;
  std::size_t maxBlock = 8176;     // payload of one block
  std::size_t rowIndexValue = 4;   // bytes of a row number in a table's row index
  int codePage = 1252;             // of 8-bit text in ANSI files
  // codePage's encoder, built once per file; without one, text goes through
  // codepage::FromUtf8 (the same bytes, slower).
  std::shared_ptr<const codepage::AnsiEncoder> ansi;
  std::uint16_t stringType() const { return unicode ? 0x001F : 0x001E; }
};

// Property types used here.
enum PropType : std::uint16_t {
  kPtInt16 = 0x0002,
  kPtInt32 = 0x0003,
  kPtBool = 0x000B,
  kPtInt64 = 0x0014,
  kPtString8 = 0x001E,
  kPtUnicode = 0x001F,
  kPtTime = 0x0040,
  kPtBinary = 0x0102,
  kPtMultiInt32 = 0x1003,
};

// One property: small fixed values inline, everything else as bytes.
struct PropValue {
  std::uint16_t id = 0;
  std::uint16_t type = 0;
  std::uint32_t inlineValue = 0;
  Bytes data;
  std::uint32_t tag() const { return (static_cast<std::uint32_t>(id) << 16) | type; }
};

bool IsInlineType(std::uint16_t type);     // stored in the 4-byte value slot
std::size_t FixedSize(std::uint16_t type); // 8 for 8-byte fixed types, else 0

PropValue Int32Prop(std::uint16_t id, std::uint32_t v);
PropValue BoolProp(std::uint16_t id, bool v);
PropValue TimeProp(std::uint16_t id, std::uint64_t filetime);
PropValue BinaryProp(std::uint16_t id, Bytes v);
// Text given in UTF-8: UTF-16LE in Unicode files, the code page in ANSI ones.
PropValue StringProp(std::uint16_t id, std::string_view utf8, const LtpFormat& fmt);

// The properties of one object with their values side by side in one
// buffer: an item is built without an allocation per property, and the
// list is reused from item to item.
class PropertyList {
 public:
  struct Entry {
    std::uint16_t id = 0, type = 0;
    std::uint32_t inlineValue = 0;
    std::uint32_t offset = 0, size = 0;  // in the list's value buffer
  };
  void Clear() { entries_.clear(); data_.clear(); }
  // Room for that many entries and bytes of values, so that a long list
  // is not copied as it grows (pages reserved and never used cost nothing).
  void Reserve(std::size_t entries, std::size_t bytes) {
    entries_.reserve(entries);
    data_.reserve(bytes);
  }
  void Add(const PropValue& v);
  // Takes over one entry of another list, value and all.
  void Copy(const PropertyList& from, const Entry& e);
  // Adds property id with the type and value of entry `index` of this list
  // (the two entries share the value's bytes).
  void Repeat(std::uint16_t id, std::size_t index);
  void Int16(std::uint16_t id, std::uint16_t v);
  void Int32(std::uint16_t id, std::uint32_t v);
  void Bool(std::uint16_t id, bool v);
  void Time(std::uint16_t id, std::uint64_t filetime);
  void Raw(std::uint16_t id, std::uint16_t type, const std::uint8_t* p, std::size_t n);
  void Binary(std::uint16_t id, const Bytes& v) { Raw(id, kPtBinary, v.data(), v.size()); }
  // Text given in UTF-8, stored as the format wants it (see StringProp).
  void String(std::uint16_t id, std::string_view utf8, const LtpFormat& fmt);

  std::vector<Entry>& entries() { return entries_; }
  const std::vector<Entry>& entries() const { return entries_; }
  const std::uint8_t* data(const Entry& e) const { return data_.data() + e.offset; }
  std::size_t valueBytes() const { return data_.size(); }
  PropValue Value(const Entry& e) const;

 private:
  std::vector<Entry> entries_;
  ByteBuffer data_;
};

// Builds a heap one page (= one block) at a time. After Finish it starts
// over as a new empty heap, keeping its buffers for the next one.
class HeapBuilder {
 public:
  static constexpr std::size_t kMaxAlloc = 3580;
  HeapBuilder(std::uint8_t clientSig, std::size_t maxBlock);
  std::uint32_t Alloc(const std::uint8_t* p, std::size_t n);
  std::uint32_t Alloc(const Bytes& b) { return Alloc(b.data(), b.size()); }
  // Overwrites an allocation made earlier (same size): a structure whose
  // slot comes first but whose contents are known last.
  void Patch(std::uint32_t hid, const std::uint8_t* p, std::size_t n);
  void Patch(std::uint32_t hid, const Bytes& b) { Patch(hid, b.data(), b.size()); }
  Stream Finish(std::uint32_t hidUserRoot);
  // The same into out, copied into the room its blocks already have.
  void Finish(std::uint32_t hidUserRoot, Stream& out);

 private:
  struct Page {
    ByteBuffer data;  // header space + allocations
    std::vector<std::uint16_t> starts;
  };
  static std::size_t HeaderSize(std::size_t page);
  void NewPage();
  std::uint8_t clientSig_;
  std::size_t maxBlock_;
  std::vector<Page> pages_;  // the first used_ are the heap's; the rest are spare
  std::size_t used_ = 0;
  std::vector<std::uint8_t> levels_;
};

// A B-tree on the heap over records key||data sorted by key, whose header
// takes the slot `header` allocated (8 bytes) before anything else: Outlook
// puts a heap's BTH header first, at hid 0x20, and readers look for it there.
void BuildBth(HeapBuilder& heap, std::uint32_t header, std::uint8_t cbKey, std::uint8_t cbEnt,
              const Bytes& sortedRecords);
// The 8-byte BTH header: signature, key and entry sizes, levels, root.
Bytes BthHeader(std::uint8_t cbKey, std::uint8_t cbEnt, std::uint8_t levels, std::uint32_t root);

// A property bag. Values over 3,580 bytes go to subnodes whose ids come
// from nextLtpIndex.
NodeContent BuildPropertyContext(std::vector<PropValue> props, const LtpFormat& fmt,
                                 std::uint32_t& nextLtpIndex);
NodeContent BuildPropertyContext(const PropertyList& props, const LtpFormat& fmt,
                                 std::uint32_t& nextLtpIndex);

// Builds property bags one after another without allocating for each:
// the heap, the records and the blocks of `out` are reused, and when a list
// holds the same properties in the same order as the one before, their
// sorted order is reused too.
// Puts property lists in the order of their ids, by marking the ids in a
// bitmap of all 65,536 and reading the marks back in order.
class IdSorter {
 public:
  // The positions of the entries, by id, into order; false when an id is
  // there twice.
  bool Order(const std::vector<PropertyList::Entry>& entries, std::vector<std::uint16_t>& order);
  // The list's entries by id (their values stay where they are); false,
  // with the list as it was, when an id is there twice.
  bool Sort(PropertyList& list);

 private:
  // The words, a summary of which words are set, and each id's entry.
  std::vector<std::uint64_t> idBits_, idWords_;
  std::vector<std::uint16_t> entryOf_, order_;
  std::vector<PropertyList::Entry> entries_;
};

class PropertyContextBuilder {
 public:
  explicit PropertyContextBuilder(const LtpFormat& fmt);
  // Replaces out with the bag of props. A list already in the order of its
  // ids (see IdSorter) is taken as it is.
  void Build(const PropertyList& props, std::uint32_t& nextLtpIndex, NodeContent& out);

 private:
  const LtpFormat& fmt_;
  HeapBuilder heap_;
  Bytes records_;
  std::vector<std::uint16_t> lastIds_;  // ids of the last list, in its order
  std::vector<std::uint16_t> order_;    // that list's entries by id
  IdSorter sorter_;
};

struct TableRow {
  std::uint32_t rowId = 0;
  std::uint32_t rowVer = 0;
  std::vector<PropValue> cells;  // only columns of the table; absent = no value
};

// Many rows with all their cells side by side in one list, so that a large
// table is gathered without an allocation per row or cell.
struct TableRows {
  struct Row {
    std::uint32_t rowId = 0, rowVer = 0;
    std::size_t first = 0, count = 0;  // its cells in `cells`
  };
  std::vector<Row> rows;
  PropertyList cells;
};

// Builds a table one row at a time as the rows arrive: each row goes into
// the row matrix and its values into the heap at once, so that little is
// left to do when the table is finished. A value too large for the heap is
// kept until then and numbered there, so the bytes are those of building
// the whole table at the end.
class TableContextBuilder {
 public:
  // The columns given (row id and row version are added).
  TableContextBuilder(std::vector<std::uint32_t> columns, const LtpFormat& fmt);
  void Reserve(std::size_t rows);
  // Starts a row; its cells follow. Throws PstError for a value of a column
  // the table lacks.
  void BeginRow(std::uint32_t rowId, std::uint32_t rowVer);
  void AddCell(const PropertyList& list, const PropertyList::Entry& e);
  // The table; the builder is spent.
  NodeContent Finish(std::uint32_t& nextLtpIndex);

 private:
  struct Column {
    std::uint32_t tag;
    std::uint16_t offset = 0;
    std::uint8_t size = 0;
    std::uint8_t bit = 0;
  };
  struct LargeValue {
    std::size_t block, at;  // of the cell in the row matrix
    Bytes data;
  };
  const LtpFormat& fmt_;
  std::vector<Column> cols_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> byTag_;  // tag, column
  std::uint16_t end4_ = 0, end2_ = 0, end1_ = 0, rowSize_ = 0;
  HeapBuilder heap_;
  // Allocated first, as Outlook lays a table out: the row index's BTH header
  // (hid 0x20), then the table's header (0x40).
  std::uint32_t indexHeader_ = 0, tcInfo_ = 0;
  // The row matrix as the blocks it is stored in: whole rows, every block
  // but the last full.
  std::vector<Bytes> matrix_;
  std::size_t rowsPerBlock_ = 1;
  std::size_t rows_ = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> index_;  // row id, row number
  std::vector<LargeValue> large_;
};

// A table with the given columns (row id and row version are added).
NodeContent BuildTableContext(std::vector<std::uint32_t> columns, const std::vector<TableRow>& rows,
                              const LtpFormat& fmt, std::uint32_t& nextLtpIndex);
NodeContent BuildTableContext(std::vector<std::uint32_t> columns, const TableRows& rows,
                              const LtpFormat& fmt, std::uint32_t& nextLtpIndex);

}  // namespace pst::detail

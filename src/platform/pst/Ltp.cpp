#include "platform/pst/Ltp.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/codepage/CodePage.h"
#include "platform/pst/PstError.h"

namespace pst::detail {

bool IsInlineType(std::uint16_t type) {
  return type == 0x0002 || type == 0x0003 || type == 0x0004 || type == 0x000A || type == 0x000B;
}

std::size_t FixedSize(std::uint16_t type) {
  switch (type) {
    case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
    default: return 0;
  }
}

PropValue Int32Prop(std::uint16_t id, std::uint32_t v) {
  PropValue p;
  p.id = id;
  p.type = kPtInt32;
  p.inlineValue = v;
  return p;
}

PropValue BoolProp(std::uint16_t id, bool v) {
  PropValue p;
  p.id = id;
  p.type = kPtBool;
  p.inlineValue = v ? 1 : 0;
  return p;
}

PropValue TimeProp(std::uint16_t id, std::uint64_t filetime) {
  PropValue p;
  p.id = id;
  p.type = kPtTime;
  p.data.resize(8);
  Put64(p.data.data(), filetime);
  return p;
}

PropValue BinaryProp(std::uint16_t id, Bytes v) {
  PropValue p;
  p.id = id;
  p.type = kPtBinary;
  p.data = std::move(v);
  return p;
}

namespace {

// Appends text in the format's encoding. Most contact text is plain ASCII,
// which the Windows ANSI code pages keep as is and UTF-16 just widens: done
// directly in one pass, that saves most of the time a contact takes.
bool IsAscii(std::string_view s) {
  const char* p = s.data();
  const std::size_t n = s.size();
  std::uint64_t acc = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    acc |= w;
  }
  for (; i < n; ++i) acc |= static_cast<std::uint8_t>(p[i]);
  return (acc & 0x8080808080808080ull) == 0;
}

void Put(Bytes& out, std::string_view s) { AppendBytes(out, s); }
void Put(ByteBuffer& out, std::string_view s) { out.Append(s.data(), s.size()); }

// Into a value's bytes or a list's buffer: either is grown and then written.
template <class Buffer>
void AppendText(Buffer& out, std::string_view utf8, const LtpFormat& fmt) {
  const bool asciiKept = fmt.unicode || (fmt.codePage >= 1250 && fmt.codePage <= 1258) ||
                         fmt.codePage == 874 || (fmt.codePage >= 932 && fmt.codePage <= 950);
  if (asciiKept && IsAscii(utf8)) {
    if (!fmt.unicode) {
      Put(out, utf8);
      return;
    }
    const std::size_t at = out.size();
    out.resize(at + utf8.size() * 2);
    std::uint8_t* d = out.data() + at;
    const char* p = utf8.data();
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // Eight characters at a time: spread their bytes apart with zeros.
      auto widen = [](std::uint64_t x) {
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        return (x | (x << 8)) & 0x00FF00FF00FF00FFull;
      };
      for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t lo = widen(w & 0xFFFFFFFFull), hi = widen(w >> 32);
        std::memcpy(d + 2 * i, &lo, 8);
        std::memcpy(d + 2 * i + 8, &hi, 8);
      }
    }
    for (; i < n; ++i) {
      d[2 * i] = static_cast<std::uint8_t>(p[i]);
      d[2 * i + 1] = 0;
    }
    return;
  }
  if (fmt.unicode) {
    // Straight into out, as codepage::Utf8ToUtf16le converts: no UTF-8 byte
    // takes more than two bytes of UTF-16, a malformed one included.
    const std::size_t at = out.size();
    out.resize(at + 2 * utf8.size());
    std::uint8_t* d = out.data() + at;
    auto put = [&](std::uint32_t u) {
      *d++ = static_cast<std::uint8_t>(u & 0xFF);
      *d++ = static_cast<std::uint8_t>(u >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      if (b < 0x80) {
        put(b);
        ++i;
        continue;
      }
      char32_t v = 0;
      std::size_t n = codepage::DecodeUtf8(utf8, i, &v);
      if (n == 0) {
        v = 0xFFFD;
        n = 1;
      }
      if (v >= 0x10000) {
        v -= 0x10000;
        put(0xD800 + (v >> 10));
        put(0xDC00 + (v & 0x3FF));
      } else {
        put(v);
      }
      i += n;
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
    return;
  }
  if (fmt.ansi && fmt.ansi->codePage() == fmt.codePage) {
    // No page gives more bytes than the UTF-8 has ("?" for each malformed
    // byte); room for twice that covers any page that splits characters.
    const std::size_t at = out.size(), room = 2 * utf8.size();
    out.resize(at + room);
    const std::size_t n =
        fmt.ansi->EncodeTo(utf8, reinterpret_cast<char*>(out.data() + at), room);
    if (n != codepage::AnsiEncoder::kTooLong) {
      out.resize(at + n);
      return;
    }
    out.resize(at);
  }
  Put(out, codepage::FromUtf8(utf8, fmt.codePage).bytes);
}

}  // namespace

PropValue StringProp(std::uint16_t id, std::string_view utf8, const LtpFormat& fmt) {
  PropValue p;
  p.id = id;
  p.type = fmt.stringType();
  AppendText(p.data, utf8, fmt);
  return p;
}

void PropertyList::Add(const PropValue& v) {
  if (IsInlineType(v.type)) {
    Entry e;
    e.id = v.id;
    e.type = v.type;
    e.inlineValue = v.inlineValue;
    entries_.push_back(e);
  } else {
    Raw(v.id, v.type, v.data.data(), v.data.size());
  }
}

namespace {

// Where a value of n more bytes starts in a list's buffer; values are
// counted in 32 bits, as the file itself counts them.
std::uint32_t ValueOffset(const ByteBuffer& data, std::size_t n) {
  if (data.size() + n > 0xFFFFFFFFull) throw PstError("a value is too large to store");
  return static_cast<std::uint32_t>(data.size());
}

}  // namespace

void PropertyList::Copy(const PropertyList& from, const Entry& e) {
  Entry c = e;
  c.offset = ValueOffset(data_, e.size);
  data_.Append(from.data(e), e.size);
  entries_.push_back(c);
}

// Values are never changed once added, so the new entry reads the same
// bytes rather than a copy of them.
void PropertyList::Repeat(std::uint16_t id, std::size_t index) {
  Entry e = entries_.at(index);
  e.id = id;
  entries_.push_back(e);
}

void PropertyList::Int16(std::uint16_t id, std::uint16_t v) {
  Entry e;
  e.id = id;
  e.type = kPtInt16;
  e.inlineValue = v;
  entries_.push_back(e);
}

void PropertyList::Int32(std::uint16_t id, std::uint32_t v) {
  Entry e;
  e.id = id;
  e.type = kPtInt32;
  e.inlineValue = v;
  entries_.push_back(e);
}

void PropertyList::Bool(std::uint16_t id, bool v) {
  Entry e;
  e.id = id;
  e.type = kPtBool;
  e.inlineValue = v ? 1 : 0;
  entries_.push_back(e);
}

void PropertyList::Time(std::uint16_t id, std::uint64_t filetime) {
  std::uint8_t b[8];
  Put64(b, filetime);
  Raw(id, kPtTime, b, 8);
}

void PropertyList::Raw(std::uint16_t id, std::uint16_t type, const std::uint8_t* p,
                          std::size_t n) {
  Entry e;
  e.id = id;
  e.type = type;
  e.offset = ValueOffset(data_, n);
  e.size = static_cast<std::uint32_t>(n);
  data_.Append(p, n);
  entries_.push_back(e);
}

void PropertyList::String(std::uint16_t id, std::string_view utf8, const LtpFormat& fmt) {
  Entry e;
  e.id = id;
  e.type = fmt.stringType();
  e.offset = ValueOffset(data_, utf8.size() * 2);
  AppendText(data_, utf8, fmt);
  e.size = ValueOffset(data_, 0) - e.offset;
  entries_.push_back(e);
}

PropValue PropertyList::Value(const Entry& e) const {
  PropValue v;
  v.id = e.id;
  v.type = e.type;
  v.inlineValue = e.inlineValue;
  v.data.assign(data(e), data(e) + e.size);
  return v;
}

// --- heap ---------------------------------------------------------------------

namespace {

std::uint8_t FillLevel(std::size_t freeBytes) {
  static const std::size_t kLimits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                        512,  256,  128,  64,   32,   16,   8};
  for (std::uint8_t i = 0; i < 15; ++i)
    if (freeBytes >= kLimits[i]) return i;
  return 0x0F;
}

}  // namespace

HeapBuilder::HeapBuilder(std::uint8_t clientSig, std::size_t maxBlock)
    : clientSig_(clientSig), maxBlock_(maxBlock) {
  NewPage();
}

// Page 0 opens with the heap header, pages 8, 136, 264, ... with a fill-level
// bitmap, all others with just the offset of their page map.
std::size_t HeapBuilder::HeaderSize(std::size_t page) {
  if (page == 0) return 12;
  if (page >= 8 && (page - 8) % 128 == 0) return 66;
  return 2;
}

void HeapBuilder::NewPage() {
  if (used_ == pages_.size()) {
    Page p;
    p.data.reserve(maxBlock_);  // a page never grows beyond its block
    p.starts.reserve(64);
    pages_.push_back(std::move(p));
  }
  Page& p = pages_[used_];
  p.data.resize(HeaderSize(used_));
  std::memset(p.data.data(), 0, p.data.size());
  p.starts.clear();
  ++used_;
}

std::uint32_t HeapBuilder::Alloc(const std::uint8_t* data, std::size_t n) {
  if (n > kMaxAlloc) throw PstError("internal error: heap allocation too large");
  auto fits = [&](const Page& p) {
    std::size_t end = (p.data.size() + n + 1) & ~std::size_t{1};
    return end + 4 + 2 * (p.starts.size() + 2) <= maxBlock_ && p.starts.size() < 2047;
  };
  if (!fits(pages_[used_ - 1])) NewPage();
  Page& p = pages_[used_ - 1];
  p.starts.push_back(static_cast<std::uint16_t>(p.data.size()));
  p.data.Append(data, n);
  return static_cast<std::uint32_t>(((used_ - 1) << 16) | (p.starts.size() << 5));
}

Stream HeapBuilder::Finish(std::uint32_t hidUserRoot) {
  Stream s;
  Finish(hidUserRoot, s);
  return s;
}

void HeapBuilder::Finish(std::uint32_t hidUserRoot, Stream& out) {
  levels_.assign(used_, 0);
  for (std::size_t i = 0; i < used_; ++i) {
    Page& p = pages_[i];
    std::size_t end = p.data.size();
    std::size_t map = (end + 1) & ~std::size_t{1};
    p.data.resize(map + 4 + 2 * (p.starts.size() + 1));
    if (map > end) p.data.data()[end] = 0;
    std::uint8_t* m = p.data.data() + map;
    Put16(m, static_cast<std::uint16_t>(p.starts.size()));
    Put16(m + 2, 0);
    for (std::size_t k = 0; k < p.starts.size(); ++k) Put16(m + 4 + 2 * k, p.starts[k]);
    Put16(m + 4 + 2 * p.starts.size(), static_cast<std::uint16_t>(end));
    Put16(p.data.data(), static_cast<std::uint16_t>(map));
    levels_[i] = FillLevel(maxBlock_ - p.data.size());
  }
  auto packLevels = [&](std::uint8_t* dst, std::size_t first, std::size_t count) {
    for (std::size_t k = 0; k < count && first + k < used_; ++k)
      dst[k / 2] |= static_cast<std::uint8_t>(levels_[first + k] << (4 * (k % 2)));
  };
  std::uint8_t* h = pages_[0].data.data();
  h[2] = 0xEC;
  h[3] = clientSig_;
  Put32(h + 4, hidUserRoot);
  packLevels(h + 8, 0, 8);
  for (std::size_t i = 8; i < used_; i += 128) packLevels(pages_[i].data.data() + 2, i, 128);

  // The pages become the blocks, into the blocks' old buffers.
  out.blocks.resize(used_);
  for (std::size_t i = 0; i < used_; ++i)
    out.blocks[i].assign(pages_[i].data.data(), pages_[i].data.data() + pages_[i].data.size());
  used_ = 0;
  NewPage();
}

void HeapBuilder::Patch(std::uint32_t hid, const std::uint8_t* data, std::size_t n) {
  const std::size_t page = hid >> 16, slot = ((hid & 0xFFFF) >> 5) - 1;
  if (page >= used_ || slot >= pages_[page].starts.size())
    throw PstError("internal error: heap allocation not found");
  Page& p = pages_[page];
  const std::size_t at = p.starts[slot];
  const std::size_t end = slot + 1 < p.starts.size() ? p.starts[slot + 1] : p.data.size();
  if (end - at != n) throw PstError("internal error: heap allocation of another size");
  std::memcpy(p.data.data() + at, data, n);
}

Bytes BthHeader(std::uint8_t cbKey, std::uint8_t cbEnt, std::uint8_t levels, std::uint32_t root) {
  Bytes hdr{0xB5, cbKey, cbEnt, levels, 0, 0, 0, 0};
  Put32(hdr.data() + 4, root);
  return hdr;
}

void BuildBth(HeapBuilder& heap, std::uint32_t header, std::uint8_t cbKey, std::uint8_t cbEnt,
              const Bytes& records) {
  std::size_t rec = cbKey + cbEnt;
  std::size_t count = records.size() / rec;
  std::uint32_t root = 0;
  std::uint8_t levels = 0;
  if (count > 0) {
    std::size_t per = HeapBuilder::kMaxAlloc / rec;
    if (count <= per) {  // the usual case: one leaf is the root
      heap.Patch(header, BthHeader(cbKey, cbEnt, 0, heap.Alloc(records.data(), count * rec)));
      return;
    }
    // Leaves, then index levels of key||HID until one node remains.
    std::vector<std::pair<const std::uint8_t*, std::uint32_t>> nodes;  // first key, hid
    for (std::size_t i = 0; i < count; i += per) {
      std::size_t n = std::min(per, count - i);
      nodes.emplace_back(records.data() + i * rec, heap.Alloc(records.data() + i * rec, n * rec));
    }
    std::vector<Bytes> keep;  // index records stay alive while their keys are used
    while (nodes.size() > 1) {
      ++levels;
      std::size_t irec = cbKey + 4u;
      std::size_t iper = HeapBuilder::kMaxAlloc / irec;
      std::vector<std::pair<const std::uint8_t*, std::uint32_t>> up;
      for (std::size_t i = 0; i < nodes.size(); i += iper) {
        std::size_t n = std::min(iper, nodes.size() - i);
        Bytes b;
        for (std::size_t k = i; k < i + n; ++k) {
          AppendBytes(b, nodes[k].first, cbKey);
          Append32(b, nodes[k].second);
        }
        std::uint32_t hid = heap.Alloc(b);
        keep.push_back(std::move(b));
        up.emplace_back(nodes[i].first, hid);
      }
      nodes.swap(up);
    }
    root = nodes[0].second;
  }
  heap.Patch(header, BthHeader(cbKey, cbEnt, levels, root));
}

// --- property context -------------------------------------------------------------

NodeContent BuildPropertyContext(std::vector<PropValue> props, const LtpFormat& fmt,
                                 std::uint32_t& nextLtpIndex) {
  PropertyList list;
  for (const auto& p : props) list.Add(p);
  return BuildPropertyContext(list, fmt, nextLtpIndex);
}

NodeContent BuildPropertyContext(const PropertyList& list, const LtpFormat& fmt,
                                 std::uint32_t& nextLtpIndex) {
  NodeContent node;
  PropertyContextBuilder(fmt).Build(list, nextLtpIndex, node);
  return node;
}

bool IdSorter::Order(const std::vector<PropertyList::Entry>& props, std::vector<std::uint16_t>& order) {
  order.resize(props.size());
  if (idBits_.empty()) {
    idBits_.assign(1024, 0);
    idWords_.assign(16, 0);
    entryOf_.assign(0x10000, 0);
  }
  bool twice = false;
  for (std::size_t i = 0; i < props.size(); ++i) {
    const std::uint16_t id = props[i].id;
    const std::uint64_t bit = std::uint64_t{1} << (id & 63);
    twice = twice || (idBits_[id >> 6] & bit);
    idBits_[id >> 6] |= bit;
    idWords_[id >> 12] |= std::uint64_t{1} << ((id >> 6) & 63);
    entryOf_[id] = static_cast<std::uint16_t>(i);
  }
  std::size_t n = 0;
  for (std::size_t s = 0; s < idWords_.size(); ++s) {
    for (std::uint64_t words = idWords_[s]; words; words &= words - 1) {
      const std::size_t w = s * 64 + static_cast<std::size_t>(__builtin_ctzll(words));
      for (std::uint64_t bits = idBits_[w]; bits; bits &= bits - 1)
        order[n++] = entryOf_[w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))];
      idBits_[w] = 0;
    }
    idWords_[s] = 0;
  }
  return !twice;
}

bool IdSorter::Sort(PropertyList& list) {
  auto& entries = list.entries();
  if (entries.size() > 0xFFFF || !Order(entries, order_)) return false;
  entries_.assign(entries.begin(), entries.end());
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = entries_[order_[i]];
  return true;
}

PropertyContextBuilder::PropertyContextBuilder(const LtpFormat& fmt)
    : fmt_(fmt), heap_(0xBC, fmt.maxBlock) {}

void PropertyContextBuilder::Build(const PropertyList& list, std::uint32_t& nextLtpIndex,
                                   NodeContent& node) {
  const auto& props = list.entries();
  bool same = props.size() == lastIds_.size();
  for (std::size_t i = 0; same && i < props.size(); ++i) same = props[i].id == lastIds_[i];
  if (!same) {
    lastIds_.resize(props.size());
    order_.resize(props.size());
    for (std::size_t i = 0; i < props.size(); ++i) lastIds_[i] = props[i].id;
    if (props.size() > 0xFFFF) throw PstError("internal error: too many properties");
    bool sorted = true;
    for (std::size_t i = 1; sorted && i < props.size(); ++i) sorted = props[i - 1].id < props[i].id;
    if (sorted) {
      for (std::size_t i = 0; i < props.size(); ++i) order_[i] = static_cast<std::uint16_t>(i);
    } else if (!sorter_.Order(props, order_)) {
      lastIds_.clear();
      throw PstError("internal error: property set twice");
    }
  }
  node.subnodes.clear();
  node.sharedBlock = 0;
  // As Outlook lays a bag out: the BTH header at 0x20, its one leaf at 0x40,
  // then the values; the leaf is filled in once the values have their hids.
  static const std::uint8_t kZeros[8] = {};
  const std::uint32_t header = heap_.Alloc(kZeros, 8);
  records_.assign(props.size() * 8, 0);
  const bool oneLeaf = !props.empty() && records_.size() <= HeapBuilder::kMaxAlloc;
  const std::uint32_t leaf = oneLeaf ? heap_.Alloc(records_) : 0;
  std::uint8_t* rec = records_.data();
  for (std::uint16_t k : order_) {
    const PropertyList::Entry& p = props[k];
    std::uint32_t value = 0;
    if (IsInlineType(p.type)) {
      value = p.inlineValue;
    } else if (p.size == 0) {
      value = 0;
    } else if (p.size <= HeapBuilder::kMaxAlloc) {
      value = heap_.Alloc(list.data(p), p.size);
    } else {
      std::uint32_t nid = MakeNid(++nextLtpIndex, kNidLtp);
      Subnode sub;
      sub.nid = nid;
      sub.content.data = SplitStream(list.data(p), p.size, fmt_.maxBlock);
      node.subnodes.push_back(std::move(sub));
      value = nid;
    }
    Put16(rec, p.id);
    Put16(rec + 2, p.type);
    Put32(rec + 4, value);
    rec += 8;
  }
  if (oneLeaf) {
    heap_.Patch(leaf, records_);
    heap_.Patch(header, BthHeader(2, 6, 0, leaf));
  } else {
    BuildBth(heap_, header, 2, 6, records_);
  }
  heap_.Finish(header, node.data);
}

// --- table context ------------------------------------------------------------------

namespace {

constexpr std::uint32_t kRowIdTag = 0x67F20003;
constexpr std::uint32_t kRowVerTag = 0x67F30003;

std::size_t CellSize(std::uint16_t type) {
  if (type == kPtBool) return 1;
  if (type == kPtInt16) return 2;
  if (std::size_t f = FixedSize(type)) return f;
  return 4;
}

}  // namespace

NodeContent BuildTableContext(std::vector<std::uint32_t> tags, const std::vector<TableRow>& rows,
                              const LtpFormat& fmt, std::uint32_t& nextLtpIndex) {
  TableRows flat;
  flat.rows.reserve(rows.size());
  for (const TableRow& row : rows) {
    flat.rows.push_back({row.rowId, row.rowVer, flat.cells.entries().size(), row.cells.size()});
    for (const PropValue& v : row.cells) flat.cells.Add(v);
  }
  return BuildTableContext(std::move(tags), flat, fmt, nextLtpIndex);
}

TableContextBuilder::TableContextBuilder(std::vector<std::uint32_t> tags, const LtpFormat& fmt)
    : fmt_(fmt), heap_(0x7C, fmt.maxBlock) {
  tags.erase(std::remove_if(tags.begin(), tags.end(),
                            [](std::uint32_t t) { return t == kRowIdTag || t == kRowVerTag; }),
             tags.end());
  std::sort(tags.begin(), tags.end());
  // Row layout: row id and version, other 8- and 4-byte cells, then 2-byte,
  // then 1-byte cells, then the cell existence bitmap.
  cols_.push_back({kRowIdTag});
  cols_.push_back({kRowVerTag});
  for (std::size_t want : {8u, 4u, 2u, 1u})
    for (auto t : tags)
      if (CellSize(static_cast<std::uint16_t>(t)) == want) cols_.push_back({t});
  if (cols_.size() > 255) throw PstError("internal error: too many table columns");
  std::uint16_t off = 0;
  for (std::size_t i = 0; i < cols_.size(); ++i) {
    Column& c = cols_[i];
    c.size = static_cast<std::uint8_t>(CellSize(static_cast<std::uint16_t>(c.tag)));
    c.offset = off;
    c.bit = static_cast<std::uint8_t>(i);
    off = static_cast<std::uint16_t>(off + c.size);
    if (c.size >= 4) end4_ = off;
    if (c.size >= 2) end2_ = off;
    end1_ = off;
  }
  rowSize_ = static_cast<std::uint16_t>(end1_ + (cols_.size() + 7) / 8);
  rowsPerBlock_ = fmt.maxBlock / rowSize_;
  indexHeader_ = heap_.Alloc(Bytes(8, 0));
  tcInfo_ = heap_.Alloc(Bytes(22 + 8 * cols_.size(), 0));
  // Columns by tag (the first of equal tags first), to find a cell's column.
  for (std::size_t i = 0; i < cols_.size(); ++i)
    byTag_.emplace_back(cols_[i].tag, static_cast<std::uint32_t>(i));
  std::sort(byTag_.begin(), byTag_.end());
}

void TableContextBuilder::Reserve(std::size_t rows) {
  matrix_.reserve((rows + rowsPerBlock_ - 1) / rowsPerBlock_);
  index_.reserve(rows);
}

void TableContextBuilder::BeginRow(std::uint32_t rowId, std::uint32_t rowVer) {
  if (rows_ % rowsPerBlock_ == 0) {
    // Rows never straddle blocks; as in Outlook's files every block but the
    // last is filled to the block size, and readers count on that to find
    // the rows of the next block.
    if (!matrix_.empty()) matrix_.back().resize(fmt_.maxBlock, 0);
    matrix_.emplace_back();
    matrix_.back().reserve(rowsPerBlock_ * rowSize_);
  }
  Bytes& block = matrix_.back();
  block.resize(block.size() + rowSize_);
  std::uint8_t* cell = block.data() + block.size() - rowSize_;
  Put32(cell, rowId);
  Put32(cell + 4, rowVer);
  cell[end1_] |= 0xC0;
  index_.emplace_back(rowId, static_cast<std::uint32_t>(rows_));
  ++rows_;
}

void TableContextBuilder::AddCell(const PropertyList& list, const PropertyList::Entry& v) {
  const std::uint32_t tag = (static_cast<std::uint32_t>(v.id) << 16) | v.type;
  auto found = std::lower_bound(byTag_.begin(), byTag_.end(), std::make_pair(tag, 0u));
  if (found == byTag_.end() || found->first != tag)
    throw PstError("internal error: value for a missing column");
  const Column* it = &cols_[found->second];
  Bytes& block = matrix_.back();
  const std::size_t row = block.size() - rowSize_;
  std::uint8_t* d = block.data() + row + it->offset;
  std::uint8_t* ceb = block.data() + row + end1_;
  const std::uint8_t* data = list.data(v);
  if (IsInlineType(v.type)) {
    if (it->size == 1) d[0] = static_cast<std::uint8_t>(v.inlineValue);
    else if (it->size == 2) Put16(d, static_cast<std::uint16_t>(v.inlineValue));
    else Put32(d, v.inlineValue);
  } else if (FixedSize(v.type)) {
    std::memcpy(d, data, std::min<std::size_t>(8, v.size));
  } else if (v.size == 0) {
    Put32(d, 0);
  } else if (v.size <= HeapBuilder::kMaxAlloc) {
    Put32(d, heap_.Alloc(data, v.size));
  } else {
    large_.push_back({matrix_.size() - 1, row + it->offset, Bytes(data, data + v.size)});
  }
  ceb[it->bit / 8] |= static_cast<std::uint8_t>(0x80 >> (it->bit % 8));
}

NodeContent TableContextBuilder::Finish(std::uint32_t& nextLtpIndex) {
  NodeContent node;
  // Values too large for the heap, numbered in the order of their rows.
  for (LargeValue& v : large_) {
    std::uint32_t nid = MakeNid(++nextLtpIndex, kNidLtp);
    Subnode sub;
    sub.nid = nid;
    sub.content.data = SplitStream(v.data.data(), v.data.size(), fmt_.maxBlock);
    node.subnodes.push_back(std::move(sub));
    Put32(matrix_[v.block].data() + v.at, nid);
  }
  large_.clear();
  // Items arrive in the order of their ids: mostly nothing to sort.
  if (!std::is_sorted(index_.begin(), index_.end())) std::sort(index_.begin(), index_.end());
  for (std::size_t i = 1; i < index_.size(); ++i)
    if (index_[i].first == index_[i - 1].first) throw PstError("internal error: duplicate row id");
  if (fmt_.rowIndexValue == 2 && rows_ > 0xFFFF)
    throw PstError("too many items in one folder for this file format");
  Bytes indexRecords(index_.size() * (4 + fmt_.rowIndexValue));
  std::uint8_t* ir = indexRecords.data();
  for (const auto& [id, num] : index_) {
    Put32(ir, id);
    if (fmt_.rowIndexValue == 2) Put16(ir + 4, static_cast<std::uint16_t>(num));
    else Put32(ir + 4, num);
    ir += 4 + fmt_.rowIndexValue;
  }
  const auto cbEnt = static_cast<std::uint8_t>(fmt_.rowIndexValue);
  // One leaf while the index fits one allocation (3,580 bytes: 447 rows of
  // a Unicode file, 596 of an ANSI one), index levels beyond, as [MS-PST]
  // 2.3.2 has it and libpff requires. Readers of the java-libpst family
  // count a table's rows by its row matrix, not by this index.
  BuildBth(heap_, indexHeader_, 4, cbEnt, indexRecords);

  std::uint32_t hnidRows = 0;
  if (rows_ == 0) {
    hnidRows = 0;
  } else if (rows_ * rowSize_ <= HeapBuilder::kMaxAlloc) {
    hnidRows = heap_.Alloc(matrix_[0]);  // in the heap when it fits, so one block
  } else {
    Subnode sub;
    sub.nid = MakeNid(++nextLtpIndex, kNidLtp);
    sub.content.data.blocks = std::move(matrix_);
    matrix_.clear();
    hnidRows = sub.nid;
    node.subnodes.push_back(std::move(sub));
  }

  Bytes info;
  info.push_back(0x7C);
  info.push_back(static_cast<std::uint8_t>(cols_.size()));
  Append16(info, end4_);
  Append16(info, end2_);
  Append16(info, end1_);
  Append16(info, rowSize_);
  Append32(info, indexHeader_);
  Append32(info, hnidRows);
  Append32(info, 0);
  std::vector<Column> sorted = cols_;
  std::sort(sorted.begin(), sorted.end(),
            [](const Column& a, const Column& b) { return a.tag < b.tag; });
  for (const auto& c : sorted) {
    Append32(info, c.tag);
    Append16(info, c.offset);
    info.push_back(c.size);
    info.push_back(c.bit);
  }
  heap_.Patch(tcInfo_, info);
  node.data = heap_.Finish(tcInfo_);
  return node;
}

NodeContent BuildTableContext(std::vector<std::uint32_t> tags, const TableRows& table,
                              const LtpFormat& fmt, std::uint32_t& nextLtpIndex) {
  TableContextBuilder builder(std::move(tags), fmt);
  builder.Reserve(table.rows.size());
  for (const TableRows::Row& row : table.rows) {
    builder.BeginRow(row.rowId, row.rowVer);
    for (std::size_t k = row.first; k < row.first + row.count; ++k)
      builder.AddCell(table.cells, table.cells.entries()[k]);
  }
  return builder.Finish(nextLtpIndex);
}

}  // namespace pst::detail

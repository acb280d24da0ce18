#include "WabFile.h"

#include "platform/os/LittleEndian.h"
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "platform/codepage/CodePage.h"

namespace wab {
namespace {

std::uint32_t U32(std::string_view b, std::uint64_t at) { return le::Get32(b.data() + at); }

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

// Parses the record at offset. Every step of the walk spends one unit of
// budget, so a crafted file whose index points many times into the same
// long value area cannot make Parse quadratic.
bool Walk(std::string_view bytes, std::uint32_t offset, Record* out, std::uint64_t* budget,
          std::string* why) {
  const std::uint64_t size = bytes.size();
  const std::uint64_t start = offset;
  if (start + kRecordHeaderSize > size) return Fail(why, "record header outside the file");
  const RecordHeader h = RecordHeader::Decode(bytes.substr(start));
  const std::uint32_t propCount = h.propCount;
  const std::uint32_t tagBytes = h.tagBytes;
  const std::uint32_t dataLen = h.dataLen;
  if (h.copy > 1) return Fail(why, "bad copy flag");
  if (h.headerSize != kRecordHeaderSize) return Fail(why, "bad record header size");
  if (h.tagBytes != h.tagBytes2) return Fail(why, "tag list sizes disagree");
  if (static_cast<std::uint64_t>(propCount) * 4 != tagBytes) return Fail(why, "tag list size");
  const std::uint64_t tagsStart = start + kRecordHeaderSize;
  const std::uint64_t valuesStart = tagsStart + tagBytes;
  const std::uint64_t valuesEnd = valuesStart + dataLen;
  if (valuesStart > size || valuesEnd > size) return Fail(why, "record runs past the end of the file");
  // Every value starts with its tag and a length: a count the value area
  // cannot hold is damage, found before any room is made for it.
  if (8ull * propCount > dataLen) return Fail(why, "more properties than the value area holds");

  Property* props = nullptr;
  if (out) {
    out->offset = offset;
    out->size = static_cast<std::uint32_t>(valuesEnd - start);
    out->current = h.copy == 1;
    out->kind = h.kind;
    out->recordId = h.recordId;
    // Bounded by the value area (eight bytes a property) just checked.
    out->properties.resize(propCount);
    props = out->properties.data();
  }

  std::uint64_t pos = valuesStart;
  for (std::uint32_t i = 0; i < propCount; ++i) {
    if (*budget == 0) return Fail(why, "record walk over budget");
    --*budget;
    const std::uint32_t tag = U32(bytes, tagsStart + 4ull * i);
    if (pos + 8 > valuesEnd) return Fail(why, "value outside the record");
    if (U32(bytes, pos) != tag) return Fail(why, "value tag does not repeat the tag list");
    Property p;
    p.tag = tag;
    if (p.multiValued()) {
      if (pos + 12 > valuesEnd) return Fail(why, "list header outside the record");
      const std::uint32_t count = U32(bytes, pos + 4);
      const std::uint32_t total = U32(bytes, pos + 8);
      const std::uint64_t elemStart = pos + 12;
      const std::uint64_t elemEnd = elemStart + total;
      if (elemEnd > valuesEnd) return Fail(why, "list outside the record");
      // Each element needs at least its 4-byte length.
      if (static_cast<std::uint64_t>(count) * 4 > total) return Fail(why, "list count too large");
      std::uint64_t e = elemStart;
      for (std::uint32_t k = 0; k < count; ++k) {
        if (*budget == 0) return Fail(why, "record walk over budget");
        --*budget;
        if (e + 4 > elemEnd) return Fail(why, "list element outside the list");
        const std::uint32_t elen = U32(bytes, e);
        e += 4;
        if (e + elen > elemEnd) return Fail(why, "list element outside the list");
        e += elen;
      }
      if (e != elemEnd) return Fail(why, "list length does not match its elements");
      p.count = count;
      p.data = std::string_view(bytes.data() + elemStart, total);
      pos = elemEnd;
    } else {
      const std::uint32_t len = U32(bytes, pos + 4);
      const std::uint64_t dataStart = pos + 8;
      if (dataStart + len > valuesEnd) return Fail(why, "value outside the record");
      p.data = std::string_view(bytes.data() + dataStart, len);
      pos = dataStart + len;
    }
    if (props) props[i] = p;
  }
  if (pos != valuesEnd) return Fail(why, "value area length does not match its values");
  return true;
}

}  // namespace

std::optional<std::string_view> Property::Element(std::uint32_t i) const {
  if (!multiValued() || i >= count) return std::nullopt;
  std::size_t pos = 0;
  for (std::uint32_t k = 0;; ++k) {
    if (pos + 4 > data.size()) return std::nullopt;
    const std::uint32_t elen = U32(data, pos);
    pos += 4;
    if (elen > data.size() - pos) return std::nullopt;
    if (k == i) return data.substr(pos, elen);
    pos += elen;
  }
}

const Property* Record::Find(std::uint16_t id) const {
  for (const auto& p : properties)
    if (p.id() == id) return &p;
  return nullptr;
}

WabFile WabFile::Parse(std::string bytes) { return Parse(BookBytes(std::move(bytes))); }

WabFile WabFile::Parse(BookBytes source) {
  WabFile f;
  const std::string_view bytes = source.View();
  const std::uint64_t size = bytes.size();
  if (size < kSignature.size()) throw NotAnAddressBook("the file is too short to be an address book");
  if (std::memcmp(bytes.data(), kSignature.data(), kSignature.size()) == 0) {
    f.oldSignature_ = false;
  } else if (std::memcmp(bytes.data(), kOldSignature.data(), kOldSignature.size()) == 0) {
    f.oldSignature_ = true;
  } else {
    throw NotAnAddressBook("the file does not start with an address book signature");
  }
  if (size > kMaxBookSize) throw NotAnAddressBook("the file is larger than an address book can be");
  if (size < kHeaderSize) throw NotAnAddressBook("the header is cut short");

  for (std::uint32_t t = 0; t < kTableCount; ++t) {
    const TableDescriptor d = TableDescriptor::Decode(bytes.substr(header::Table(t)));
    const std::uint64_t entrySize = t == 0 ? kIndexEntrySize : kTextEntrySize;
    if (static_cast<std::uint64_t>(d.count) * entrySize != d.used)
      throw NotAnAddressBook("a table's size does not match its entry count");
    if (d.used > d.allocated) throw NotAnAddressBook("a table holds more than its room");
    if (d.allocated != 0) {
      if (d.offset < kHeaderSize) throw NotAnAddressBook("a table overlaps the header");
      if (static_cast<std::uint64_t>(d.offset) + d.allocated > size)
        throw NotAnAddressBook("a table runs past the end of the file");
    }
    f.tables_[t] = d;
  }
  f.bytes_ = std::move(source);
  const std::string_view book = f.bytes_.View();

  // Which index entries repeat a record ID already listed: the first wins.
  const TableDescriptor& index = f.tables_[0];
  auto slot = [&](std::uint32_t i) {
    return IndexSlot::Decode(book.substr(index.offset + std::uint64_t{IndexSlot::kSize} * i));
  };
  std::vector<std::pair<std::uint32_t, std::uint32_t>> byId;  // (record ID, position)
  byId.reserve(index.count);
  for (std::uint32_t i = 0; i < index.count; ++i) byId.emplace_back(slot(i).recordId, i);
  std::sort(byId.begin(), byId.end());
  std::vector<bool> duplicate(index.count, false);
  for (std::size_t k = 1; k < byId.size(); ++k)
    if (byId[k].first == byId[k - 1].first) duplicate[byId[k].second] = true;
  byId.clear();
  byId.shrink_to_fit();

  // Skips with their reason and index position. Overlaps are found out of
  // index order, so the list is cut back to the earliest kKeptSkips now and
  // then, which keeps it small however many entries are damaged.
  std::vector<std::pair<std::uint32_t, SkippedRecord>> skips;
  std::uint32_t lastKept = std::numeric_limits<std::uint32_t>::max();  // once the list is full
  auto byPosition = [](const auto& a, const auto& b) { return a.first < b.first; };
  auto trimSkips = [&] {
    std::stable_sort(skips.begin(), skips.end(), byPosition);
    if (skips.size() >= kKeptSkips) {
      skips.resize(kKeptSkips);
      lastKept = skips.back().first;
    }
  };
  auto skip = [&](std::uint32_t position, const IndexSlot& s, std::string_view why) {
    ++f.skipped_;
    if (position > lastKept) return;  // a later trim would drop it
    skips.push_back({position, {s.recordId, s.offset, std::string(why)}});
    if (skips.size() >= 2 * kKeptSkips) trimSkips();
  };

  // What the walk learnt of each record, so the list is made without
  // touching the book again.
  struct Candidate {
    std::uint32_t offset, end, position, recordId, kind;
  };
  std::vector<Candidate> candidates;
  // A sound book walks each byte of its value areas once, at most one step
  // per four bytes; anything far beyond that is a crafted file.
  std::uint64_t budget = size / 2 + 4096;
  // A mapped book is handed back a few megabytes at a time, so checking it
  // never holds all of it.
  constexpr std::uint64_t kReleaseBytes = 8u << 20;
  std::uint64_t sinceRelease = 0;
  std::string why;
  for (std::uint32_t i = 0; i < index.count; ++i) {
    const IndexSlot s = slot(i);
    const std::uint32_t offset = s.offset;
    if (duplicate[i]) {
      skip(i, s, "its record ID is listed earlier in the index");
      continue;
    }
    // Cheap header checks first, so a wrong ID costs no walk.
    if (static_cast<std::uint64_t>(offset) + kRecordHeaderSize > size) {
      skip(i, s, "record header outside the file");
      continue;
    }
    const RecordHeader h = RecordHeader::Decode(book.substr(offset));
    if (h.copy != 1) {
      skip(i, s, h.copy == 0 ? "the copy it points at is marked obsolete" : "bad copy flag");
      continue;
    }
    if (h.recordId != s.recordId) {
      skip(i, s, "the record there has another record ID");
      continue;
    }
    if (!Walk(book, offset, nullptr, &budget, &why)) {
      skip(i, s, why);
      continue;
    }
    const std::uint64_t end = static_cast<std::uint64_t>(offset) + h.RecordSize();
    candidates.push_back({offset, static_cast<std::uint32_t>(end), i, s.recordId, h.kind});
    sinceRelease += end - offset;
    if (sinceRelease > kReleaseBytes) {
      f.bytes_.Release();
      sinceRelease = 0;
    }
  }
  duplicate.clear();
  duplicate.shrink_to_fit();

  // Two live records never share bytes; when they do, keep the one that
  // starts first and skip the other, so each record is read once.
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.offset < b.offset; });
  std::uint32_t reach = 0;
  std::size_t keep = 0;
  for (const auto& c : candidates) {
    if (c.offset < reach) {
      skip(c.position, {c.recordId, c.offset}, "it shares bytes with a record before it");
      continue;
    }
    reach = c.end;
    candidates[keep++] = c;
  }
  candidates.resize(keep);
  // Back to record-index order.
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.position < b.position; });
  f.records_.reserve(keep);
  for (const auto& c : candidates) f.records_.push_back({c.recordId, c.offset, c.kind});
  trimSkips();
  f.skippedList_.reserve(skips.size());
  for (auto& s : skips) f.skippedList_.push_back(std::move(s.second));
  return f;
}

std::optional<Record> WabFile::ReadRecord(std::uint32_t offset, std::string* why) const {
  Record rec;
  if (!ReadRecord(offset, rec, why)) return std::nullopt;
  return rec;
}

bool WabFile::ReadRecord(std::uint32_t offset, Record& out, std::string* why) const {
  // One record on its own: its walk is bounded by its own size.
  std::uint64_t budget = std::numeric_limits<std::uint64_t>::max();
  if (Walk(bytes_.View(), offset, &out, &budget, why)) return true;
  out.properties.clear();
  return false;
}

std::string DecodeText(std::string_view bytes, bool unicode, int codePage) {
  std::string out;
  DecodeText(bytes, unicode, codePage, out);
  return out;
}

void DecodeText(std::string_view bytes, bool unicode, int codePage, std::string& out) {
  if (unicode) {
    // Most texts are plain ASCII: one pass copies those straight across,
    // four code units at a time, and stops at the terminator. The first
    // unit outside ASCII hands the whole text to the full decoder.
    const std::size_t units = bytes.size() / 2;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    out.resize(units);
    std::size_t k = 0;
    constexpr std::uint64_t kHighBits = 0xFF80FF80FF80FF80ull;  // non-ASCII in any unit
    constexpr std::uint64_t kOnes = 0x0001000100010001ull;
    constexpr std::uint64_t kTops = 0x8000800080008000ull;
    for (; k + 4 <= units; k += 4) {
      std::uint64_t w;
      std::memcpy(&w, in + 2 * k, 8);
      if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);  // units are little-endian
      // Units are 0..0x7F here, so a unit's top bit after subtracting one
      // marks a zero unit (or a borrow from a zero unit below it).
      if ((w & kHighBits) != 0 || ((w - kOnes) & kTops) != 0) break;
      out[k] = static_cast<char>(w);
      out[k + 1] = static_cast<char>(w >> 16);
      out[k + 2] = static_cast<char>(w >> 32);
      out[k + 3] = static_cast<char>(w >> 48);
    }
    for (; k < units; ++k) {
      const unsigned char lo = in[2 * k];
      const unsigned char hi = in[2 * k + 1];
      if ((lo | hi) == 0) break;
      if (lo >= 0x80 || hi != 0) {
        // Find the terminator, then decode everything before it.
        std::size_t end = k + 1;
        while (end < units && (in[2 * end] | in[2 * end + 1]) != 0) ++end;
        out = codepage::Utf16leToUtf8(bytes.substr(0, end * 2));
        return;
      }
      out[k] = static_cast<char>(lo);
    }
    out.resize(k);
    return;
  }
  const auto nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  out = codepage::ToUtf8(bytes, codePage);
}

bool IsText(const Property& p) {
  return p.type() == kTypeUnicode || p.type() == kTypeString8;
}

bool IsTextList(const Property& p) {
  return p.type() == (kTypeUnicode | kMultiValued) || p.type() == (kTypeString8 | kMultiValued);
}

}  // namespace wab

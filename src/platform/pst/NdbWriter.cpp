#include "platform/pst/NdbWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/os/Os.h"

#include "platform/pst/Crc.h"
#include "platform/pst/PstError.h"
#include "platform/pst/PstHeader.h"

namespace pst::detail {

namespace {

constexpr std::uint64_t AlignUp(std::uint64_t v, std::uint64_t a) { return (v + a - 1) / a * a; }

const std::uint8_t kZeros[8192] = {};

template <class Id>
void PutId(std::uint8_t* p, Id v) {
  if constexpr (sizeof(Id) == 8) Put64(p, v); else Put32(p, v);
}

}  // namespace

// --- FileSink ---------------------------------------------------------------

void FileSink::Fail(const char* what) const {
  int e = errno;
  throw PstError(std::string("cannot ") + what + " " + name_ + ": " +
                 (e ? std::strerror(e) : "write error"));
}

FileSink::~FileSink() {
  if (held_) std::fwrite(buffer_.get(), 1, held_, file_);
}

void FileSink::Drain() {
  if (!held_) return;
  errno = 0;
  const std::size_t n = held_;
  held_ = 0;
  if (std::fwrite(buffer_.get(), 1, n, file_) != n) Fail("write");
}

void FileSink::Put(const std::uint8_t* data, std::size_t n) {
  if (held_ + n > kBuffer) {
    Drain();
    if (n >= kBuffer) {
      errno = 0;
      if (std::fwrite(data, 1, n, file_) != n) Fail("write");
      pos_ += n;
      return;
    }
  }
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBuffer);
  std::memcpy(buffer_.get() + held_, data, n);
  held_ += n;
  pos_ += n;
}

void FileSink::ZeroTo(std::uint64_t offset) {
  while (pos_ < offset) Put(kZeros, static_cast<std::size_t>(std::min<std::uint64_t>(offset - pos_, sizeof kZeros)));
}

void FileSink::Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
  if (offset < pos_) throw PstError("internal error: out-of-order write to " + name_);
  ZeroTo(offset);
  if (n) Put(data, n);
}

// Written past the stream's buffer, which is emptied first, so that each
// patched page costs one call and no seeks; a positioned write leaves the file position
// where the stream expects it.
void FileSink::Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
  Drain();
  errno = 0;
  if (std::fflush(file_) != 0) Fail("write");
  if (n && os::WriteAt(fileno(file_), data, n, offset) < 0) Fail("write");
}

// --- NdbWriter ---------------------------------------------------------------

template <class F>
NdbWriter<F>::NdbWriter(FileSink& sink) : sink_(sink) {}

template <class F>
void NdbWriter<F>::MarkUsed(std::uint64_t offset, std::uint64_t size) {
  std::uint64_t first = (offset - kFirstInterval) / 64;
  std::uint64_t last = (offset + size - kFirstInterval + 63) / 64;
  if (used_.size() < last) used_.resize(std::max<std::uint64_t>(last, used_.size() * 3 / 2), 0);
  std::fill(used_.begin() + static_cast<std::ptrdiff_t>(first),
            used_.begin() + static_cast<std::ptrdiff_t>(last), 1);
}

// Space comes from a cursor that only moves forward, skipping the map pages
// at the start of each interval; nothing may straddle two intervals.
template <class F>
std::uint64_t NdbWriter<F>::Allocate(std::uint64_t size, std::uint64_t align) {
  std::uint64_t off = AlignUp(cursor_, align);
  for (;;) {
    std::uint64_t i = (off - kFirstInterval) / kIntervalSize;
    std::uint64_t start = IntervalStart(i);
    if (off < start + MapBytes(i)) off = start + MapBytes(i);
    if (off + size > IntervalStart(i + 1)) {
      off = IntervalStart(i + 1);
      continue;
    }
    break;
  }
  if (off + size > F::kMaxFileSize)
    throw PstError("the store is too large for this file format");
  cursor_ = off + size;
  MarkUsed(off, size);
  return off;
}

template <class F>
typename NdbWriter<F>::Id NdbWriter<F>::EmitBlock(const std::uint8_t* payload, std::size_t cb,
                                                  bool internal) {
  Id bid = static_cast<Id>(nextBid_ | (internal ? 2 : 0));
  nextBid_ += 4;
  std::size_t total = AlignUp(cb + F::kBlockTrailer, 64);
  std::uint64_t ib = Allocate(total, 64);
  // Payload as it is, then zero padding and the trailer from a small buffer.
  std::uint8_t tail[64 + F::kBlockTrailer] = {};
  std::size_t tailSize = total - cb;
  std::uint8_t* t = tail + tailSize - F::kBlockTrailer;
  Put16(t, static_cast<std::uint16_t>(cb));
  Put16(t + 2, Signature(ib, bid));
  std::uint32_t crc = Crc(payload, cb);
  if constexpr (F::kUnicode) {
    Put32(t + 4, crc);
    Put64(t + 8, bid);
  } else {
    Put32(t + 4, bid);
    Put32(t + 8, crc);
  }
  sink_.Write(ib, payload, cb);
  sink_.Write(ib + cb, tail, tailSize);
  bbt_.push_back({bid, static_cast<Id>(ib), static_cast<std::uint16_t>(cb), 1});
  return bid;
}

template <class F>
typename NdbWriter<F>::Id NdbWriter<F>::EmitStream(const Stream& s) {
  if (s.blocks.empty()) return 0;
  if (s.blocks.size() == 1) return EmitBlock(s.blocks[0].data(), s.blocks[0].size(), false);
  std::vector<Id> bids;
  std::vector<std::uint64_t> sizes;
  bids.reserve(s.blocks.size());
  for (const auto& b : s.blocks) {
    if (b.size() > F::kMaxBlockData) throw PstError("internal error: oversized block");
    bids.push_back(EmitBlock(b.data(), b.size(), false));
    sizes.push_back(b.size());
  }
  // One level of XBLOCKs, and an XXBLOCK over them when one is not enough.
  auto xblock = [&](std::uint8_t level, const Id* ids, std::size_t n, std::uint64_t total) {
    Bytes x;
    x.reserve(8 + n * F::kIdSize);
    x.push_back(0x01);
    x.push_back(level);
    Append16(x, static_cast<std::uint16_t>(n));
    Append32(x, static_cast<std::uint32_t>(total));
    for (std::size_t i = 0; i < n; ++i) {
      if constexpr (F::kUnicode) Append64(x, ids[i]); else Append32(x, ids[i]);
    }
    return EmitBlock(x.data(), x.size(), true);
  };
  std::uint64_t whole = 0;
  for (auto n : sizes) whole += n;
  if (whole > 0xFFFFFFFFull) throw PstError("a value is too large to store");
  if (bids.size() <= F::kXEntries) return xblock(1, bids.data(), bids.size(), whole);
  if (bids.size() > F::kXEntries * F::kXEntries) throw PstError("a value is too large to store");
  std::vector<Id> xs;
  for (std::size_t i = 0; i < bids.size(); i += F::kXEntries) {
    std::size_t n = std::min(F::kXEntries, bids.size() - i);
    std::uint64_t part = 0;
    for (std::size_t k = i; k < i + n; ++k) part += sizes[k];
    xs.push_back(xblock(1, bids.data() + i, n, part));
  }
  return xblock(2, xs.data(), xs.size(), whole);
}

template <class F>
typename NdbWriter<F>::Id NdbWriter<F>::EmitSubnodes(const std::vector<Subnode>& subs) {
  if (subs.empty()) return 0;
  // One list per level of nesting, kept for the next node.
  if (subnodeLists_.size() <= subnodeDepth_) subnodeLists_.emplace_back();
  std::vector<SubnodeEntry>& entries = subnodeLists_[subnodeDepth_];
  entries.clear();
  ++subnodeDepth_;
  struct Leave {
    std::size_t& depth;
    ~Leave() { --depth; }
  } leave{subnodeDepth_};
  for (const auto& s : subs) {
    Id data = DataOf(s.content);
    Id sub = EmitSubnodes(s.content.subnodes);
    entries.push_back({s.nid, data, sub});
  }
  std::sort(entries.begin(), entries.end(),
            [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
  for (std::size_t i = 1; i < entries.size(); ++i)
    if (entries[i].nid == entries[i - 1].nid) throw PstError("internal error: duplicate subnode");

  constexpr std::size_t kSlMax = (F::kMaxBlockData - F::kSlHeader) / F::kSlEntry;
  constexpr std::size_t kSiMax = (F::kMaxBlockData - F::kSlHeader) / F::kSiEntry;
  auto header = [](Bytes& b, std::uint8_t level, std::size_t n) {
    b.push_back(0x02);
    b.push_back(level);
    Append16(b, static_cast<std::uint16_t>(n));
    if constexpr (F::kUnicode) Append32(b, 0);
  };
  auto appendId = [](Bytes& b, Id v) {
    if constexpr (F::kUnicode) Append64(b, v); else Append32(b, v);
  };
  auto leaf = [&](std::size_t from, std::size_t n) {
    Bytes& b = scratch_;  // children are all written by now, so it is free
    b.clear();
    header(b, 0, n);
    for (std::size_t i = from; i < from + n; ++i) {
      appendId(b, entries[i].nid);
      appendId(b, entries[i].data);
      appendId(b, entries[i].sub);
    }
    return EmitBlock(b.data(), b.size(), true);
  };
  if (entries.size() <= kSlMax) return leaf(0, entries.size());
  if (entries.size() > kSlMax * kSiMax) throw PstError("internal error: too many subnodes");
  Bytes si;
  std::size_t count = (entries.size() + kSlMax - 1) / kSlMax;
  header(si, 1, count);
  for (std::size_t i = 0; i < entries.size(); i += kSlMax) {
    Id bid = leaf(i, std::min(kSlMax, entries.size() - i));
    appendId(si, entries[i].nid);
    appendId(si, bid);
  }
  return EmitBlock(si.data(), si.size(), true);
}

template <class F>
typename NdbWriter<F>::Id NdbWriter<F>::AddSharedBlock(const Stream& s) {
  if (s.blocks.size() != 1) throw PstError("internal error: only single blocks are shared");
  Id bid = EmitBlock(s.blocks[0].data(), s.blocks[0].size(), false);
  bbt_.back().refs = 0;  // counted as nodes take it up
  return bid;
}

// A node's data: its own stream, or one more use of a shared block.
template <class F>
typename NdbWriter<F>::Id NdbWriter<F>::DataOf(const NodeContent& c) {
  if (!c.sharedBlock) return EmitStream(c.data);
  Id bid = static_cast<Id>(c.sharedBlock);
  auto it = std::lower_bound(bbt_.begin(), bbt_.end(), bid,
                             [](const BbtEntry& e, Id b) { return e.bid < b; });
  if (it == bbt_.end() || it->bid != bid || it->refs >= 0xFFFE)
    throw PstError("internal error: bad shared block");
  ++it->refs;
  return bid;
}

template <class F>
void NdbWriter<F>::AddNode(std::uint32_t nid, std::uint32_t parentNid, const NodeContent& c) {
  Id data = DataOf(c);
  Id sub = EmitSubnodes(c.subnodes);
  nbt_.push_back({nid, data, sub, parentNid});
}

template <class F>
void NdbWriter<F>::SealPage(std::uint8_t* page, std::uint8_t type, std::uint64_t offset,
                            std::uint64_t bid, bool signed_) const {
  std::uint8_t* t = page + F::kPageData;
  t[0] = type;
  t[1] = type;
  Put16(t + 2, signed_ ? Signature(offset, bid) : 0);
  std::uint32_t crc = Crc(page, F::kPageData);
  if constexpr (F::kUnicode) {
    Put32(t + 4, crc);
    Put64(t + 8, bid);
  } else {
    Put32(t + 4, static_cast<std::uint32_t>(bid));
    Put32(t + 8, crc);
  }
}

// Leaves in key order, then levels of index pages over them until one page
// (the root) remains.
template <class F>
typename NdbWriter<F>::Ref NdbWriter<F>::BuildTree(const Bytes& leafEntries,
                                                   const std::vector<Id>& keys,
                                                   std::size_t entrySize, std::uint8_t type,
                                                   std::size_t& pages, int& levels) {
  std::uint8_t page[512];
  auto writePage = [&](const std::uint8_t* entries, std::size_t n, std::size_t esize,
                       std::uint8_t level) {
    std::memset(page, 0, sizeof page);
    std::memcpy(page, entries, n * esize);
    std::uint8_t* m = page + F::kBtEntries;
    m[0] = static_cast<std::uint8_t>(n);
    m[1] = static_cast<std::uint8_t>(F::kBtEntries / esize);
    m[2] = static_cast<std::uint8_t>(esize);
    m[3] = level;
    std::uint64_t ib = Allocate(512, 512);
    std::uint64_t bid = nextPageBid_++;
    SealPage(page, type, ib, bid, true);
    sink_.Write(ib, page, sizeof page);
    ++pages;
    return Ref{0, static_cast<Id>(bid), static_cast<Id>(ib)};
  };

  std::vector<Ref> refs;
  std::size_t perLeaf = F::kBtEntries / entrySize;
  Bytes buf;
  if (keys.empty()) {
    refs.push_back(writePage(buf.data(), 0, entrySize, 0));
  }
  for (std::size_t i = 0; i < keys.size(); i += perLeaf) {
    std::size_t n = std::min(perLeaf, keys.size() - i);
    Ref r = writePage(leafEntries.data() + i * entrySize, n, entrySize, 0);
    r.key = keys[i];
    refs.push_back(r);
  }
  std::uint8_t level = 0;
  std::size_t perIndex = F::kBtEntries / F::kBtIndexEntry;
  while (refs.size() > 1) {
    ++level;
    std::vector<Ref> up;
    for (std::size_t i = 0; i < refs.size(); i += perIndex) {
      std::size_t n = std::min(perIndex, refs.size() - i);
      buf.assign(n * F::kBtIndexEntry, 0);
      for (std::size_t k = 0; k < n; ++k) {
        std::uint8_t* e = buf.data() + k * F::kBtIndexEntry;
        PutId<Id>(e, refs[i + k].key);
        PutId<Id>(e + F::kIdSize, refs[i + k].bid);
        PutId<Id>(e + 2 * F::kIdSize, refs[i + k].ib);
      }
      Ref r = writePage(buf.data(), n, F::kBtIndexEntry, level);
      r.key = refs[i].key;
      up.push_back(r);
    }
    refs.swap(up);
  }
  levels = level + 1;
  return refs[0];
}

template <class F>
void NdbWriter<F>::WriteMaps(std::uint64_t intervals, std::uint64_t& amapFree) {
  constexpr std::size_t kSlots = 496 * 8;
  std::vector<std::uint8_t> freeRun(intervals, 0);
  std::uint8_t page[512];
  amapFree = 0;
  for (std::uint64_t i = 0; i < intervals; ++i) {
    std::uint64_t start = IntervalStart(i);
    MarkUsed(start, MapBytes(i));
    std::memset(page, 0, sizeof page);
    std::uint8_t* bits = page + F::kMapPadding;
    std::size_t base = static_cast<std::size_t>(i * kSlots);
    std::size_t run = 0, best = 0;
    for (std::size_t s = 0; s < kSlots; ++s) {
      // Eight slots at once where they are all used or all free, as most are.
      if (s % 8 == 0 && base + s + 8 <= used_.size()) {
        std::uint64_t eight;
        std::memcpy(&eight, used_.data() + base + s, 8);
        if (eight == 0x0101010101010101ull) {
          bits[s / 8] = 0xFF;
          run = 0;
          s += 7;
          continue;
        }
        if (eight == 0) {
          amapFree += 8 * 64;
          run += 8;
          best = std::max(best, run);
          s += 7;
          continue;
        }
      }
      bool used = base + s < used_.size() && used_[base + s];
      if (used) {
        bits[s / 8] |= static_cast<std::uint8_t>(0x80 >> (s % 8));
        run = 0;
      } else {
        amapFree += 64;
        best = std::max(best, ++run);
      }
    }
    freeRun[i] = static_cast<std::uint8_t>(std::min<std::size_t>(best, 255));
    SealPage(page, kPageAMap, start, start, false);
    sink_.Patch(start, page, sizeof page);
  }
  for (std::uint64_t i = 0; i < intervals; ++i) {
    std::uint64_t start = IntervalStart(i);
    if (HasPMap(i)) {
      std::memset(page, 0, sizeof page);
      std::memset(page + F::kMapPadding, 0xFF, 496);
      SealPage(page, kPagePMap, start + 512, start + 512, false);
      sink_.Patch(start + 512, page, sizeof page);
    }
    if (HasFMap(i)) {
      std::memset(page, 0, sizeof page);
      for (std::uint64_t k = 0; k < 496 && i + k < intervals; ++k)
        page[F::kMapPadding + k] = freeRun[i + k];
      SealPage(page, kPageFMap, start + 1024, start + 1024, false);
      sink_.Patch(start + 1024, page, sizeof page);
    }
  }
}

template <class F>
void NdbWriter<F>::WriteHeader(const HeaderInfo& info, std::uint64_t fileEof,
                               std::uint64_t amapLast, std::uint64_t amapFree, const Ref& nbt,
                               const Ref& bbt) {
  // [MS-PST] 2.2.2.6
  PstHeader header;
  header.version = F::kVersion;
  header.nextBid = nextBid_;
  header.nextPageBid = nextPageBid_;
  header.unique = info.unique;
  header.rgnid = info.rgnid;
  header.root.fileEof = fileEof;
  header.root.amapLast = amapLast;
  header.root.amapFree = amapFree;
  header.root.nbt = {nbt.bid, nbt.ib};
  header.root.bbt = {bbt.bid, bbt.ib};
  header.root.amapValid = PstHeader::kAMapValid;
  header.cryptMethod = 0;  // no encoding of block data
  std::uint8_t h[PstHeader::kUnicodeSize];
  header.Encode(F::kUnicode, h);
  header.crcPartial = Crc(h + PstHeader::kCrcFrom, PstHeader::kPartialCrcLength);
  if constexpr (F::kUnicode) header.crcFull = Crc(h + PstHeader::kCrcFrom, PstHeader::kFullCrcLength);
  header.Encode(F::kUnicode, h);
  sink_.Patch(0, h, PstHeader::Size(F::kUnicode));
}

template <class F>
NdbStats NdbWriter<F>::Finish(const HeaderInfo& info) {
  NdbStats stats;
  stats.blocks = bbt_.size();
  stats.nodes = nbt_.size();

  // Long runs in order (a folder's items) broken by the folders' nodes: a
  // merge sort makes use of the runs, where std::sort fell back on a heap.
  std::stable_sort(nbt_.begin(), nbt_.end(),
                   [](const NbtEntry& a, const NbtEntry& b) { return a.nid < b.nid; });
  for (std::size_t i = 1; i < nbt_.size(); ++i)
    if (nbt_[i].nid == nbt_[i - 1].nid) throw PstError("internal error: duplicate node");

  Bytes entries;
  std::vector<Id> keys;
  entries.reserve(nbt_.size() * F::kNbtEntry);
  for (const auto& n : nbt_) {
    std::array<std::uint8_t, F::kNbtEntry> e{};
    if constexpr (F::kUnicode) {
      Put64(e.data(), n.nid);
      Put64(e.data() + 8, n.data);
      Put64(e.data() + 16, n.sub);
      Put32(e.data() + 24, n.parent);
    } else {
      Put32(e.data(), n.nid);
      Put32(e.data() + 4, n.data);
      Put32(e.data() + 8, n.sub);
      Put32(e.data() + 12, n.parent);
    }
    AppendBytes(entries, e.data(), e.size());
    keys.push_back(n.nid);
  }
  Ref nbtRoot = BuildTree(entries, keys, F::kNbtEntry, kPageNbt, stats.nbtPages, stats.nbtLevels);

  entries.clear();
  keys.clear();
  entries.reserve(bbt_.size() * F::kBbtEntry);
  for (const auto& b : bbt_) {
    std::array<std::uint8_t, F::kBbtEntry> e{};
    PutId<Id>(e.data(), b.bid);
    PutId<Id>(e.data() + F::kIdSize, b.ib);
    Put16(e.data() + 2 * F::kIdSize, b.cb);
    // Outlook counts one more than the references.
    Put16(e.data() + 2 * F::kIdSize + 2, static_cast<std::uint16_t>(b.refs + 1));
    AppendBytes(entries, e.data(), e.size());
    keys.push_back(b.bid);
  }
  Ref bbtRoot = BuildTree(entries, keys, F::kBbtEntry, kPageBbt, stats.bbtPages, stats.bbtLevels);

  // The file ends where the last interval it uses ends, as Outlook's do.
  std::uint64_t intervals = (cursor_ - 1 - kFirstInterval) / kIntervalSize + 1;
  std::uint64_t fileEof = IntervalStart(intervals);
  if (fileEof > F::kMaxFileSize) throw PstError("the store is too large for this file format");
  sink_.ZeroTo(fileEof);

  std::uint64_t amapFree = 0;
  WriteMaps(intervals, amapFree);

  if constexpr (F::kUnicode) {
    // An empty density list, as a new store made by a recent Outlook has.
    std::uint8_t page[512] = {};
    std::uint64_t bid = nextPageBid_++;
    SealPage(page, kPageDList, kDensityListOffset, bid, true);
    sink_.Patch(kDensityListOffset, page, sizeof page);
  }
  WriteHeader(info, fileEof, IntervalStart(intervals - 1), amapFree, nbtRoot, bbtRoot);
  stats.fileSize = fileEof;
  return stats;
}

template class NdbWriter<AnsiFormat>;
template class NdbWriter<UnicodeFormat>;

}  // namespace pst::detail

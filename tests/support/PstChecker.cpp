#include "PstChecker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>

#include "platform/pst/PstHeader.h"
#include "support/LittleEndian.h"

namespace testsupport {

namespace {

// Independent of the writer on purpose: a plain table CRC.
std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint16_t Sig(std::uint64_t ib, std::uint64_t bid) {
  std::uint32_t x = static_cast<std::uint32_t>(ib) ^ static_cast<std::uint32_t>(bid);
  return static_cast<std::uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

std::uint16_t U16(const std::uint8_t* p) { return le::Get16(p); }
std::uint32_t U32(const std::uint8_t* p) { return le::Get32(p); }
std::uint64_t U64(const std::uint8_t* p) { return le::Get64(p); }

std::string Hex(std::uint64_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

constexpr std::uint64_t kFirstAMap = 0x4400;
constexpr std::uint64_t kInterval = 496 * 8 * 64;

struct Span {
  const std::uint8_t* p;
  std::size_t n;
};

struct SubEntry {
  std::uint64_t data = 0, sub = 0;
};

class Base {
 public:
  explicit Base(const std::string& bytes) : d_(reinterpret_cast<const std::uint8_t*>(bytes.data())), size_(bytes.size()) {}
  virtual ~Base() = default;
  virtual void Run(PstCheck& r) = 0;
  virtual std::vector<Span> Stream(std::uint64_t bid) = 0;
  virtual std::map<std::uint32_t, SubEntry> Subnodes(std::uint64_t bid) = 0;

  struct Node {
    std::uint64_t data = 0, sub = 0;
    std::uint32_t parent = 0;
  };
  std::map<std::uint32_t, Node> nodes;
  int crypt = 0;

  void Error(const std::string& e) {
    if (errors_ && errors_->size() < 200) errors_->push_back(e);
  }

 protected:
  const std::uint8_t* d_;
  std::size_t size_;
  std::vector<std::string>* errors_ = nullptr;
};

// The inverse of NDB_CRYPT_PERMUTE's substitution, [MS-PST] 5.1.
const std::array<std::uint8_t, 256>& PermuteInverse() {
  static const std::array<std::uint8_t, 256> table = [] {
    static const char kHex[] =
        "47f1b4e60b6a7248854e9eebe2f89453e0bba002e85a09abdbe3bac67cc310dd"
        "39059630f53760828cc9134a6b1df3fb8f2697ca911701c4322d6e3195ffd923"
        "d1005e79dc443b1a28c5615720903d83b943be67d2464276c06d5b7eb20f1629"
        "3ca903540dda5ddff6b7c762cd8d06d3695c86d614f7a56675acb1e94521700c"
        "879f74a4224c6fbf1f56aa2eb3783350b0a392bccf191ca763cb1e4d3e4b1b9b"
        "4fe7f0eead3ab55904ea40552551e57a893868527bfc27aed7bdfa07f4cc8e5f"
        "ef359c842b15d5773449b6120a7f7188fd9d18417d93d8582ccefe24afdeb836"
        "c8a180a69998a82f0e816573e4c2a28ad4e111d0088b2af2ed9a643fc16cf9ec";
    std::array<std::uint8_t, 256> t{};
    for (std::size_t i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(std::stoi(std::string(kHex + 2 * i, 2), nullptr, 16));
    return t;
  }();
  return table;
}

// --- heap / property bag / table reading, shared by both formats ---------------

struct Heap {
  std::vector<Span> pages;
  std::uint8_t clientSig = 0;
  std::uint32_t userRoot = 0;
  bool ok = false;
  bool Get(std::uint32_t hid, Span& out) const {
    if ((hid & 0x1F) != 0) return false;
    std::size_t page = hid >> 16, index = (hid >> 5) & 0x7FF;
    if (page >= pages.size() || index == 0) return false;
    const Span& s = pages[page];
    std::uint16_t map = U16(s.p);
    std::uint16_t count = U16(s.p + map);
    if (index > count) return false;
    std::uint16_t a = U16(s.p + map + 4 + 2 * (index - 1)), b = U16(s.p + map + 4 + 2 * index);
    out = {s.p + a, static_cast<std::size_t>(b - a)};
    return true;
  }
};

Heap ReadHeap(const std::vector<Span>& blocks, const std::function<void(const std::string&)>& err) {
  Heap h;
  h.pages = blocks;
  if (blocks.empty() || blocks[0].n < 12 || blocks[0].p[2] != 0xEC) {
    err("not a heap");
    return h;
  }
  h.clientSig = blocks[0].p[3];
  h.userRoot = U32(blocks[0].p + 4);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const Span& s = blocks[i];
    std::size_t hdr = i == 0 ? 12 : (i >= 8 && (i - 8) % 128 == 0) ? 66 : 2;
    if (s.n < hdr + 4) { err("heap page " + std::to_string(i) + " too small"); return h; }
    std::uint16_t map = U16(s.p);
    if (map < hdr || map % 2 || map + 4u > s.n) { err("heap page " + std::to_string(i) + ": bad page map offset"); return h; }
    std::uint16_t count = U16(s.p + map);
    if (map + 4u + 2u * (count + 1u) > s.n) { err("heap page " + std::to_string(i) + ": page map overruns"); return h; }
    std::uint16_t prev = static_cast<std::uint16_t>(hdr);
    for (std::uint16_t k = 0; k <= count; ++k) {
      std::uint16_t off = U16(s.p + map + 4 + 2 * k);
      if (off < prev || off > map) { err("heap page " + std::to_string(i) + ": allocations out of order"); return h; }
      if (k < count && (U16(s.p + map + 6 + 2 * k) - off) > 3580) err("heap allocation over 3580 bytes");
      prev = off;
    }
  }
  h.ok = true;
  return h;
}

// Records of a BTH, in order; checks key order and index keys.
bool ReadBth(const Heap& h, std::uint32_t hid, std::uint8_t wantKey, int wantEnt,
             std::vector<Span>& records, std::uint8_t& cbEnt,
             const std::function<void(const std::string&)>& err) {
  Span hdr;
  if (!h.Get(hid, hdr) || hdr.n != 8 || hdr.p[0] != 0xB5) { err("bad BTH header"); return false; }
  std::uint8_t cbKey = hdr.p[1];
  cbEnt = hdr.p[2];
  std::uint8_t levels = hdr.p[3];
  std::uint32_t root = U32(hdr.p + 4);
  if (cbKey != wantKey || (wantEnt >= 0 && cbEnt != wantEnt)) { err("unexpected BTH key or entry size"); return false; }
  if (root == 0) return true;
  auto keyOf = [&](const std::uint8_t* p) {
    std::uint64_t k = 0;
    for (int i = cbKey - 1; i >= 0; --i) k = (k << 8) | p[i];
    return k;
  };
  bool fine = true;
  std::function<void(std::uint32_t, int, const std::uint8_t*)> walk =
      [&](std::uint32_t node, int level, const std::uint8_t* firstKey) {
        Span s;
        if (!h.Get(node, s)) { err("BTH node " + Hex(node) + " missing"); fine = false; return; }
        std::size_t rec = level == 0 ? cbKey + cbEnt : cbKey + 4u;
        if (s.n == 0 || s.n % rec) { err("BTH node size not a whole number of records"); fine = false; return; }
        if (firstKey && std::memcmp(firstKey, s.p, cbKey) != 0) { err("BTH index key differs from its child's first key"); fine = false; }
        for (std::size_t i = 0; i < s.n / rec; ++i) {
          const std::uint8_t* r = s.p + i * rec;
          if (i > 0 && keyOf(r) <= keyOf(r - rec)) { err("BTH keys out of order"); fine = false; }
          if (level == 0) records.push_back({r, rec});
          else walk(U32(r + cbKey), level - 1, r);
        }
      };
  walk(root, levels, nullptr);
  if (fine && records.size() > 1)
    for (std::size_t i = 1; i < records.size(); ++i)
      if (keyOf(records[i].p) <= keyOf(records[i - 1].p)) { err("BTH keys out of order across nodes"); fine = false; break; }
  return fine;
}

bool InlineType(std::uint16_t t) { return t == 0x2 || t == 0x3 || t == 0x4 || t == 0xA || t == 0xB; }
std::size_t FixedSize(std::uint16_t t) {
  switch (t) { case 0x5: case 0x6: case 0x7: case 0x14: case 0x40: return 8; case 0x2: return 2; case 0xB: return 1; case 0x3: case 0x4: case 0xA: return 4; default: return 0; }
}

// The rules Outlook's own heaps keep where [MS-PST] would allow others.
void LayoutRules(const Heap& h, bool unicode, PstLayout& out) {
  if (h.clientSig != 0xBC && h.clientSig != 0x7C) return;
  Span first, info;
  const bool headerFirst = h.Get(0x20, first) && first.n == 8 && first.p[0] == 0xB5;
  if (h.clientSig == 0xBC) {
    ++out.propertyContexts;
    if (!headerFirst || h.userRoot != 0x20) ++out.bthHeaderNotFirst;
  } else {
    ++out.tables;
    const bool infoSecond = h.userRoot == 0x40 && h.Get(0x40, info) && info.n >= 22 && info.p[0] == 0x7C;
    if (!infoSecond) ++out.tableInfoNotSecond;
    if (!headerFirst || !infoSecond || U32(info.p + 10) != 0x20) ++out.bthHeaderNotFirst;
  }
  if (!headerFirst) return;
  std::vector<Span> records;
  std::uint8_t cbEnt = 0;
  const std::uint8_t cbKey = first.p[1], levels = first.p[3];
  if (!ReadBth(h, 0x20, cbKey, -1, records, cbEnt, [](const std::string&) {})) return;
  if (records.empty() && U32(first.p + 4) != 0) ++out.emptyBthWithRoot;
  if (levels > 0 && records.size() * (cbKey + cbEnt) <= 3580) ++out.bthLevelsNeedless;
  (void)unicode;
}

struct LtpReader {
  Base& base;
  bool unicode;
  std::function<void(const std::string&)> err;

  std::string ReadValue(const Heap& h, const std::map<std::uint32_t, SubEntry>& subs,
                        std::uint32_t hnid, bool& ok) {
    ok = true;
    if (hnid == 0) return {};
    if ((hnid & 0x1F) == 0) {
      Span s;
      if (!h.Get(hnid, s)) { ok = false; return {}; }
      return std::string(reinterpret_cast<const char*>(s.p), s.n);
    }
    auto it = subs.find(hnid);
    if (it == subs.end()) { ok = false; return {}; }
    std::string out;
    for (const Span& s : base.Stream(it->second.data)) out.append(reinterpret_cast<const char*>(s.p), s.n);
    return out;
  }

  bool Properties(const Heap& h, const std::map<std::uint32_t, SubEntry>& subs, PstProperties* out) {
    std::vector<Span> recs;
    std::uint8_t cbEnt = 0;
    if (!ReadBth(h, h.userRoot, 2, 6, recs, cbEnt, err)) return false;
    bool fine = true;
    for (const Span& r : recs) {
      std::uint16_t id = U16(r.p), type = U16(r.p + 2);
      std::uint32_t v = U32(r.p + 4);
      std::uint32_t tag = (static_cast<std::uint32_t>(id) << 16) | type;
      std::string value;
      if (InlineType(type)) {
        value.assign(reinterpret_cast<const char*>(r.p + 4), type == 0xB ? 1 : type == 0x2 ? 2 : 4);
      } else {
        bool ok;
        value = ReadValue(h, subs, v, ok);
        if (!ok) { err("property " + Hex(tag) + " points nowhere"); fine = false; }
        if (std::size_t f = FixedSize(type); f && ok && value.size() != f) { err("property " + Hex(tag) + " has the wrong size"); fine = false; }
      }
      if (out) (*out)[tag] = value;
    }
    return fine;
  }

  bool Table(const Heap& h, const std::map<std::uint32_t, SubEntry>& subs, PstTable* out,
             std::size_t* rowCount) {
    Span info;
    if (!h.Get(h.userRoot, info) || info.n < 22 || info.p[0] != 0x7C) { err("bad table header"); return false; }
    std::size_t cols = info.p[1];
    std::uint16_t rgib[4] = {U16(info.p + 2), U16(info.p + 4), U16(info.p + 6), U16(info.p + 8)};
    std::uint32_t hidRowIndex = U32(info.p + 10), hnidRows = U32(info.p + 14);
    if (info.n != 22 + 8 * cols) { err("table header size does not match its columns"); return false; }
    if (!(rgib[0] <= rgib[1] && rgib[1] <= rgib[2] && rgib[2] <= rgib[3]) || static_cast<std::size_t>(rgib[3] - rgib[2]) != (cols + 7) / 8) {
      err("table row layout offsets inconsistent");
      return false;
    }
    struct Col { std::uint32_t tag; std::uint16_t off; std::uint8_t cb, bit; };
    std::vector<Col> c(cols);
    std::set<int> bits;
    bool fine = true;
    for (std::size_t i = 0; i < cols; ++i) {
      const std::uint8_t* p = info.p + 22 + 8 * i;
      c[i] = {U32(p), U16(p + 4), p[6], p[7]};
      if (i && c[i].tag <= c[i - 1].tag) { err("table columns not sorted by tag"); fine = false; }
      std::uint16_t lo = c[i].cb >= 4 ? 0 : c[i].cb == 2 ? rgib[0] : rgib[1];
      std::uint16_t hi = c[i].cb >= 4 ? rgib[0] : c[i].cb == 2 ? rgib[1] : rgib[2];
      if (c[i].off < lo || c[i].off + c[i].cb > hi) { err("column " + Hex(c[i].tag) + " outside its area"); fine = false; }
      std::size_t want = FixedSize(static_cast<std::uint16_t>(c[i].tag & 0xFFFF));
      if ((want ? want : 4) != c[i].cb) { err("column " + Hex(c[i].tag) + " has the wrong cell size"); fine = false; }
      if (c[i].bit >= cols || !bits.insert(c[i].bit).second) { err("column existence bits clash"); fine = false; }
      if (out) out->columns.push_back(c[i].tag);
    }
    std::vector<Span> index;
    std::uint8_t cbEnt = 0;
    // ANSI row numbers are 2 bytes; Outlook's own ANSI files have some empty
    // tables of 4-byte ones, so either is taken there.
    if (!ReadBth(h, hidRowIndex, 4, unicode ? 4 : -1, index, cbEnt, err)) return false;
    if (cbEnt != 2 && cbEnt != 4) { err("unexpected row index entry size"); return false; }
    std::string matrix;
    std::vector<std::size_t> blockSizes;
    if (hnidRows != 0) {
      if ((hnidRows & 0x1F) == 0) {
        Span s;
        if (!h.Get(hnidRows, s)) { err("row matrix missing"); return false; }
        matrix.assign(reinterpret_cast<const char*>(s.p), s.n);
      } else {
        auto it = subs.find(hnidRows);
        if (it == subs.end()) { err("row matrix subnode missing"); return false; }
        for (const Span& s : base.Stream(it->second.data)) {
          matrix.append(reinterpret_cast<const char*>(s.p), s.n);
          blockSizes.push_back(s.n);
        }
      }
    }
    std::size_t rs = rgib[3];
    if (rs == 0) { err("row matrix with rows of no size"); return false; }
    // [MS-PST] 2.3.4.4: rows never span blocks; every block but the last is
    // the full block size, its tail after the last whole row padding.
    if (!blockSizes.empty()) {
      const std::size_t full = unicode ? 8176 : 8180;
      std::string rowsOnly;
      std::size_t at = 0;
      for (std::size_t i = 0; i < blockSizes.size(); ++i) {
        const bool last = i + 1 == blockSizes.size();
        if (!last && blockSizes[i] != full) { err("row matrix block not full"); fine = false; }
        const std::size_t keep = last ? blockSizes[i] : blockSizes[i] / rs * rs;
        rowsOnly.append(matrix, at, keep);
        at += blockSizes[i];
      }
      matrix.swap(rowsOnly);
    }
    if (matrix.size() % rs) { err("row matrix not a whole number of rows"); return false; }
    std::size_t rows = matrix.size() / rs;
    if (rowCount) *rowCount = rows;
    if (index.size() != rows) { err("row index has " + std::to_string(index.size()) + " entries for " + std::to_string(rows) + " rows"); return false; }
    std::vector<bool> seen(rows, false);
    auto rowIdCol = std::find_if(c.begin(), c.end(), [](const Col& x) { return x.tag == 0x67F20003; });
    if (rowIdCol == c.end()) { err("table without row id column"); return false; }
    for (const Span& e : index) {
      std::uint32_t id = U32(e.p);
      std::uint32_t n = cbEnt == 2 ? U16(e.p + 4) : U32(e.p + 4);
      if (n >= rows || seen[n]) { err("row index points at a missing or repeated row"); fine = false; continue; }
      seen[n] = true;
      const auto* row = reinterpret_cast<const std::uint8_t*>(matrix.data()) + n * rs;
      if (U32(row + rowIdCol->off) != id) { err("row id differs from its index key"); fine = false; }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      const auto* row = reinterpret_cast<const std::uint8_t*>(matrix.data()) + r * rs;
      const std::uint8_t* ceb = row + rgib[2];
      PstProperties cells;
      for (const Col& col : c) {
        if (!(ceb[col.bit / 8] & (0x80 >> (col.bit % 8)))) continue;
        std::uint16_t type = static_cast<std::uint16_t>(col.tag & 0xFFFF);
        std::string v;
        if (FixedSize(type)) {
          v.assign(reinterpret_cast<const char*>(row + col.off), col.cb);
        } else {
          bool ok;
          v = ReadValue(h, subs, U32(row + col.off), ok);
          if (!ok) { err("cell " + Hex(col.tag) + " points nowhere"); fine = false; }
        }
        cells[col.tag] = v;
      }
      if (out) out->rows.push_back(std::move(cells));
    }
    return fine;
  }
};

// --- the node database, per format -------------------------------------------

template <bool U>
class Checker : public Base {
 public:
  static constexpr std::size_t kId = U ? 8 : 4;
  static constexpr std::size_t kPageTrailer = U ? 16 : 12;
  static constexpr std::size_t kBlockTrailer = U ? 16 : 12;
  static constexpr std::size_t kBtArea = U ? 488 : 496;
  static constexpr std::size_t kNbtEntry = U ? 32 : 16, kBbtEntry = U ? 24 : 12, kIndexEntry = U ? 24 : 12;

  using Base::Base;

  std::uint64_t Id(std::uint64_t off) const { return U ? U64(d_ + off) : U32(d_ + off); }

  struct Block {
    std::uint64_t ib;
    std::uint16_t cb, cref;
  };
  std::unordered_map<std::uint64_t, Block> blocks;
  std::unordered_map<std::uint64_t, std::uint32_t> refs;  // counted while checking
  bool counting = false;
  std::vector<std::uint8_t> used;  // per 64-byte slot from 0x4400
  PstCheck* r = nullptr;

  void Mark(std::uint64_t off, std::uint64_t n, const char* what) {
    if (off < kFirstAMap) { Error(std::string(what) + " before the first map at " + Hex(off)); return; }
    std::uint64_t a = (off - kFirstAMap) / 64, b = (off + n - kFirstAMap + 63) / 64;
    if (used.size() < b) used.resize(b, 0);
    if ((off - kFirstAMap) / kInterval != (off + n - 1 - kFirstAMap) / kInterval)
      Error(std::string(what) + " at " + Hex(off) + " straddles two map intervals");
    for (std::uint64_t s = a; s < b; ++s) {
      if (used[s]) { Error(std::string(what) + " at " + Hex(off) + " overlaps other data"); return; }
      used[s] = 1;
    }
  }

  bool PageOk(std::uint64_t ib, std::uint8_t type, std::uint64_t bid, bool signedPage, const char* what) {
    if (ib % 512 || ib + 512 > size_) { Error(std::string(what) + " page at " + Hex(ib) + " misplaced"); return false; }
    const std::uint8_t* p = d_ + ib;
    const std::uint8_t* t = p + 512 - kPageTrailer;
    bool fine = true;
    if (t[0] != type || t[1] != type) { Error(std::string(what) + " page at " + Hex(ib) + " has type " + Hex(t[0])); fine = false; }
    std::uint32_t crc = U ? U32(t + 4) : U32(t + 8);
    std::uint64_t pbid = U ? U64(t + 8) : U32(t + 4);
    if (crc != Crc32(p, 512 - kPageTrailer)) { Error(std::string(what) + " page at " + Hex(ib) + " has a bad CRC"); fine = false; }
    if (pbid != bid) { Error(std::string(what) + " page at " + Hex(ib) + " has id " + Hex(pbid) + ", expected " + Hex(bid)); fine = false; }
    if (U16(t + 2) != (signedPage ? Sig(ib, bid) : 0)) { Error(std::string(what) + " page at " + Hex(ib) + " has a bad signature"); fine = false; }
    return fine;
  }

  // Returns the first key of the subtree (or ~0 when empty).
  std::uint64_t WalkTree(bool nbt, std::uint64_t bid, std::uint64_t ib, int level, std::uint64_t lo,
                         std::uint64_t hi, int& rootLevel, std::size_t& pages, int depth) {
    const char* what = nbt ? "NBT" : "BBT";
    if (depth > 8) { Error("B-tree too deep"); return ~0ull; }
    if (!PageOk(ib, nbt ? 0x81 : 0x80, bid, true, what)) return ~0ull;
    Mark(ib, 512, what);
    ++pages;
    const std::uint8_t* p = d_ + ib;
    std::uint8_t cEnt = p[kBtArea], cEntMax = p[kBtArea + 1], cbEnt = p[kBtArea + 2], cLevel = p[kBtArea + 3];
    if (level < 0) rootLevel = level = cLevel;
    if (cLevel != level) { Error(std::string(what) + " page at " + Hex(ib) + " on the wrong level"); return ~0ull; }
    std::size_t want = level ? kIndexEntry : nbt ? kNbtEntry : kBbtEntry;
    if (cbEnt != want || cEntMax != kBtArea / want || cEnt > cEntMax) { Error(std::string(what) + " page at " + Hex(ib) + " has bad entry counts"); return ~0ull; }
    std::uint64_t first = ~0ull, prev = 0;
    for (std::size_t i = 0; i < cEnt; ++i) {
      std::uint64_t e = ib + i * cbEnt;
      std::uint64_t key = nbt && level == 0 ? (U ? U64(d_ + e) : U32(d_ + e)) : Id(e);
      if (nbt && U && level == 0 && (key >> 32)) Error("NBT node id wider than 32 bits");
      if (i && key <= prev) Error(std::string(what) + " keys out of order at " + Hex(ib));
      if (key < lo || key >= hi) Error(std::string(what) + " key " + Hex(key) + " outside its parent's range");
      if (i == 0) first = key;
      prev = key;
      if (level > 0) {
        std::uint64_t next = i + 1 < cEnt ? Id(e + cbEnt) : hi;
        std::uint64_t childFirst = WalkTree(nbt, Id(e + kId), Id(e + 2 * kId), level - 1, key, next, rootLevel, pages, depth + 1);
        if (childFirst != ~0ull && childFirst != key) Error(std::string(what) + " index key differs from its child's first key");
      } else if (nbt) {
        Node n;
        n.data = Id(e + kId);
        n.sub = Id(e + 2 * kId);
        n.parent = U32(d_ + e + 3 * kId);
        if (!nodes.emplace(static_cast<std::uint32_t>(key), n).second) Error("node " + Hex(key) + " listed twice");
      } else {
        Block b{Id(e + kId), U16(d_ + e + 2 * kId), U16(d_ + e + 2 * kId + 2)};
        if (!blocks.emplace(key, b).second) Error("block " + Hex(key) + " listed twice");
      }
    }
    return first;
  }

  Span BlockData(std::uint64_t bid) {
    auto it = blocks.find(bid & ~std::uint64_t{1});
    if (it == blocks.end()) { Error("block " + Hex(bid) + " not in the block tree"); return {nullptr, 0}; }
    Span raw{d_ + it->second.ib, it->second.cb};
    // Outlook's own files are mostly "compressible" ([MS-PST] 5.1): data
    // blocks are read through the permutation's inverse, once each.
    if (crypt != 1 || (bid & 2)) return raw;
    auto [at, fresh] = decoded_.try_emplace(bid & ~std::uint64_t{1});
    if (fresh) {
      at->second.resize(raw.n);
      for (std::size_t i = 0; i < raw.n; ++i) at->second[i] = static_cast<char>(PermuteInverse()[raw.p[i]]);
    }
    return {reinterpret_cast<const std::uint8_t*>(at->second.data()), raw.n};
  }
  std::map<std::uint64_t, std::string> decoded_;

  std::vector<Span> Stream(std::uint64_t bid) override {
    std::vector<Span> out;
    if (bid == 0) return out;
    if (counting) ++refs[bid & ~std::uint64_t{1}];
    Span s = BlockData(bid);
    if (!s.p) return out;
    if (!(bid & 2)) { out.push_back(s); return out; }
    if (s.n < 8 || s.p[0] != 0x01 || s.p[1] < 1 || s.p[1] > 2) { Error("block " + Hex(bid) + " is not a data tree"); return out; }
    std::uint16_t n = U16(s.p + 2);
    std::uint32_t total = U32(s.p + 4);
    if (8 + n * kId > s.n) { Error("data tree " + Hex(bid) + " overruns its block"); return out; }
    std::uint64_t sum = 0;
    for (std::uint16_t i = 0; i < n; ++i) {
      std::uint64_t child = U ? U64(s.p + 8 + i * 8) : U32(s.p + 8 + i * 4);
      if (s.p[1] == 1 && (child & 2)) { Error("data tree " + Hex(bid) + " lists an internal block as data"); continue; }
      if (s.p[1] == 2 && !(child & 2)) { Error("data tree " + Hex(bid) + " lists data as a tree"); continue; }
      for (const Span& c : Stream(child)) { out.push_back(c); sum += c.n; }
    }
    if (sum != total) Error("data tree " + Hex(bid) + " says " + std::to_string(total) + " bytes but holds " + std::to_string(sum));
    return out;
  }

  std::map<std::uint32_t, SubEntry> Subnodes(std::uint64_t bid) override {
    std::map<std::uint32_t, SubEntry> out;
    if (bid == 0) return out;
    if (counting) ++refs[bid & ~std::uint64_t{1}];
    Span s = BlockData(bid);
    if (!s.p) return out;
    std::size_t hdr = U ? 8 : 4;
    if (!(bid & 2) || s.n < hdr || s.p[0] != 0x02 || s.p[1] > 1) { Error("block " + Hex(bid) + " is not a subnode tree"); return out; }
    std::uint16_t n = U16(s.p + 2);
    std::size_t ent = s.p[1] == 0 ? 3 * kId : 2 * kId;
    if (hdr + n * ent > s.n) { Error("subnode tree " + Hex(bid) + " overruns its block"); return out; }
    std::uint64_t prev = 0;
    for (std::uint16_t i = 0; i < n; ++i) {
      const std::uint8_t* e = s.p + hdr + i * ent;
      // Only the low 32 bits are the id: Outlook leaves other bytes in the
      // upper half of the Unicode entries' 8-byte field.
      std::uint64_t nid = U32(e);
      if (i && nid <= prev) Error("subnode tree " + Hex(bid) + " out of order");
      prev = nid;
      if (s.p[1] == 0) {
        SubEntry se;
        se.data = U ? U64(e + 8) : U32(e + 4);
        se.sub = U ? U64(e + 16) : U32(e + 8);
        out[static_cast<std::uint32_t>(nid)] = se;
      } else {
        auto child = Subnodes(U ? U64(e + 8) : U32(e + 4));
        if (!child.empty() && child.begin()->first != nid) Error("subnode index key differs from its child's first key");
        out.insert(child.begin(), child.end());
      }
    }
    return out;
  }

  void Run(PstCheck& res) override {
    r = &res;
    errors_ = &res.errors;
    res.unicode = U;
    res.fileSize = size_;
    const std::uint8_t* h = d_;
    if (size_ < 0x4600) { Error("file too small"); return; }
    using pst::detail::PstHeader;
    const PstHeader hd = PstHeader::Decode(U, h);
    if (hd.crcPartial != Crc32(h + PstHeader::kCrcFrom, PstHeader::kPartialCrcLength)) Error("header partial CRC wrong");
    if (U && hd.crcFull != Crc32(h + PstHeader::kCrcFrom, PstHeader::kFullCrcLength)) Error("header full CRC wrong");
    if (hd.clientMagic != PstHeader::kClientMagic) Error("not a personal folders file (client magic)");
    std::uint64_t eof = hd.root.fileEof;
    std::uint64_t amapLast = hd.root.amapLast, amapFree = hd.root.amapFree;
    std::uint64_t nbtBid = hd.root.nbt.bid, nbtIb = hd.root.nbt.ib;
    std::uint64_t bbtBid = hd.root.bbt.bid, bbtIb = hd.root.bbt.ib;
    crypt = hd.cryptMethod;
    res.cryptMethod = crypt;
    if (hd.sentinel != PstHeader::kSentinel) Error("header sentinel missing");
    if (crypt > 2) Error("unknown encoding " + std::to_string(crypt));
    if (eof != size_) Error("header says the file ends at " + Hex(eof) + ", it is " + Hex(size_) + " long");
    if (eof < kFirstAMap || (eof - kFirstAMap) % kInterval) Error("file does not end at the end of a map interval");
    if (hd.root.amapValid != PstHeader::kAMapValid) Error("allocation maps not marked valid");
    std::uint64_t nextB = hd.nextBid;
    std::uint64_t nextP = hd.nextPageBid;

    int lvl = -1;
    WalkTree(true, nbtBid, nbtIb, -1, 0, ~0ull, lvl, res.nbtPages, 0);
    res.nbtLevels = lvl + 1;
    lvl = -1;
    WalkTree(false, bbtBid, bbtIb, -1, 0, ~0ull, lvl, res.bbtPages, 0);
    res.bbtLevels = lvl + 1;
    res.nodes = nodes.size();
    res.blocks = blocks.size();
    if (nbtBid >= nextP || bbtBid >= nextP) Error("page ids not below the header's next page id");

    for (const auto& [bid, b] : blocks) {
      if (bid & 1) Error("block id " + Hex(bid) + " has the reserved bit set");
      if (bid >= nextB) Error("block id " + Hex(bid) + " not below the header's next block id");
      std::uint64_t total = (b.cb + kBlockTrailer + 63) / 64 * 64;
      if (b.ib % 64 || b.ib + total > size_ || b.cb > 8192 - kBlockTrailer) { Error("block " + Hex(bid) + " misplaced"); continue; }
      Mark(b.ib, total, "block");
      if (b.cref < 1) Error("block " + Hex(bid) + " has no references");
      const std::uint8_t* t = d_ + b.ib + total - kBlockTrailer;
      std::uint64_t tbid = U ? U64(t + 8) : U32(t + 4);
      std::uint32_t crc = U ? U32(t + 4) : U32(t + 8);
      if (U16(t) != b.cb) Error("block " + Hex(bid) + ": trailer size differs from the block tree");
      if (tbid != bid) Error("block at " + Hex(b.ib) + ": trailer id " + Hex(tbid) + ", expected " + Hex(bid));
      if (U16(t + 2) != Sig(b.ib, bid)) Error("block " + Hex(bid) + ": bad signature");
      if (crc != Crc32(d_ + b.ib, b.cb)) Error("block " + Hex(bid) + ": bad CRC");
    }

    // Allocation maps and the pages that come with them.
    std::uint64_t intervals = eof > kFirstAMap ? (eof - kFirstAMap) / kInterval : 0;
    std::uint64_t freeTotal = 0;
    if (intervals && amapLast != kFirstAMap + (intervals - 1) * kInterval) Error("last allocation map offset wrong");
    for (std::uint64_t i = 0; i < intervals; ++i) {
      std::uint64_t start = kFirstAMap + i * kInterval;
      bool pmap = i % 8 == 0, fmap = i >= 128 && i % 8 == 0 && (i - 128) % 496 == 0;
      PageOk(start, 0x84, start, false, "AMap");
      Mark(start, 512, "AMap");
      if (pmap) { PageOk(start + 512, 0x83, start + 512, false, "PMap"); Mark(start + 512, 512, "PMap"); }
      if (fmap) { PageOk(start + 1024, 0x82, start + 1024, false, "FMap"); Mark(start + 1024, 512, "FMap"); }
    }
    res.amaps = intervals;
    for (std::uint64_t i = 0; i < intervals; ++i) {
      std::uint64_t start = kFirstAMap + i * kInterval;
      const std::uint8_t* bits = d_ + start + (U ? 0 : 4);
      std::size_t mismatches = 0, setUnused = 0;
      std::uint64_t firstMismatch = 0;
      for (std::size_t s = 0; s < 496 * 8; ++s) {
        bool set = bits[s / 8] & (0x80 >> (s % 8));
        std::size_t slot = i * 496 * 8 + s;
        bool inUse = slot < used.size() && used[slot];
        if (!set) freeTotal += 64;
        if (set != inUse) {
          if (!mismatches) firstMismatch = start + s * 64;
          ++mismatches;
          if (set) ++setUnused;
        }
      }
      // Outlook leaves space marked that nothing uses any more (freed pages
      // it has not given back yet), so only the other direction is an error.
      res.markedUnused += setUnused * 64;
      if (mismatches > setUnused)
        Error("AMap at " + Hex(start) + ": " + std::to_string(mismatches - setUnused) +
              " slots in use but not marked (first difference at " + Hex(firstMismatch) + ")");
    }
    if (freeTotal != amapFree) Error("free space total " + std::to_string(amapFree) + ", maps say " + std::to_string(freeTotal));
    // The density list, when the file has one.
    const std::uint8_t* dl = d_ + 0x4200;
    if (std::any_of(dl, dl + 512, [](std::uint8_t b) { return b != 0; })) {
      const std::uint8_t* t = dl + 512 - kPageTrailer;
      PageOk(0x4200, 0x86, U ? U64(t + 8) : U32(t + 4), true, "density list");
    }

    // Nodes: their trees, parents, and what is inside.
    LtpReader ltp{*this, U, [this](const std::string& e) { Error(e); }};
    // Every reference to a block, from nodes, data trees and subnode trees.
    counting = true;
    std::function<void(const std::map<std::uint32_t, SubEntry>&)> countSubs =
        [&](const std::map<std::uint32_t, SubEntry>& subs) {
          for (const auto& [snid, se] : subs) {
            Stream(se.data);
            countSubs(Subnodes(se.sub));
          }
        };
    for (const auto& [nid, n] : nodes) {
      Stream(n.data);
      countSubs(Subnodes(n.sub));
    }
    counting = false;
    for (const auto& [bid, b] : blocks) {
      auto it = refs.find(bid);
      std::uint32_t found = it == refs.end() ? 0 : it->second;
      if (found == 0) ++res.unreferencedBlocks;
      else if (b.cref != found + 1) ++res.refCountMismatches;
    }
    // Outlook's own files keep every count at exactly one more than the uses.
    if (res.refCountMismatches)
      Error(std::to_string(res.refCountMismatches) + " blocks have a reference count that does not match their uses");
    for (const auto& [nid, n] : nodes) {
      if (n.data && !(blocks.count(n.data & ~std::uint64_t{1}))) { Error("node " + Hex(nid) + " data block missing"); continue; }
      std::uint32_t type = nid & 0x1F;
      if ((type == 0x02 || type == 0x03 || type == 0x04) && !nodes.count(n.parent))
        Error("node " + Hex(nid) + " has a missing parent " + Hex(n.parent));
      std::vector<Span> data = Stream(n.data);
      auto subs = Subnodes(n.sub);
      if (crypt == 2) continue;
      auto checkHeap = [&](const std::vector<Span>& d, const std::map<std::uint32_t, SubEntry>& s, const std::string& who) {
        if (d.empty() || d[0].n < 12 || d[0].p[2] != 0xEC) return;
        std::string ctx = who + ": ";
        auto err = [&](const std::string& e) { Error(ctx + e); };
        LtpReader l{*this, U, err};
        Heap hp = ReadHeap(d, err);
        if (!hp.ok) return;
        ++res.heaps;
        LayoutRules(hp, U, res.layout);
        if (hp.clientSig == 0xBC) { ++res.propertyContexts; l.Properties(hp, s, nullptr); }
        else if (hp.clientSig == 0x7C) { ++res.tables; std::size_t rows = 0; l.Table(hp, s, nullptr, &rows); res.tableRows += rows; }
      };
      checkHeap(data, subs, "node " + Hex(nid));
      for (const auto& [snid, se] : subs) {
        std::uint32_t st = snid & 0x1F;
        if (st == 0x05 || st == 0x11 || st == 0x12)
          checkHeap(Stream(se.data), Subnodes(se.sub), "node " + Hex(nid) + " subnode " + Hex(snid));
      }
    }
    (void)ltp;
  }
};

std::unique_ptr<Base> Open(const std::string& bytes, std::string* why) {
  if (bytes.size() < 0x4600 || bytes.compare(0, 4, "!BDN") != 0) {
    *why = "not a personal folders file";
    return nullptr;
  }
  std::uint16_t ver = U16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 10);
  if (ver == 14 || ver == 15) return std::make_unique<Checker<false>>(bytes);
  if (ver == 23) return std::make_unique<Checker<true>>(bytes);
  *why = "unsupported file version " + std::to_string(ver);
  return nullptr;
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

std::string PstCheck::Report() const {
  std::string s;
  for (std::size_t i = 0; i < errors.size() && i < 20; ++i) s += errors[i] + "\n";
  if (errors.size() > 20) s += "... " + std::to_string(errors.size() - 20) + " more\n";
  return s;
}

PstCheck CheckPstBytes(const std::string& bytes) {
  PstCheck r;
  std::string why;
  auto c = Open(bytes, &why);
  if (!c) {
    r.errors.push_back(why);
    return r;
  }
  c->Run(r);
  return r;
}

PstCheck CheckPstFile(const std::filesystem::path& file) { return CheckPstBytes(Slurp(file)); }

// --- reading for tests -----------------------------------------------------------

struct PstFile::Impl {
  std::string bytes;
  std::unique_ptr<Base> base;
  PstCheck check;
  bool unicode = false;
  std::vector<std::string> errors;

  LtpReader Reader() {
    return LtpReader{*base, unicode, [this](const std::string& e) { errors.push_back(e); }};
  }
  Heap HeapOf(std::uint32_t nid, std::map<std::uint32_t, SubEntry>& subs) {
    auto it = base->nodes.find(nid);
    if (it == base->nodes.end()) throw std::runtime_error("no node " + Hex(nid));
    subs = base->Subnodes(it->second.sub);
    Heap h = ReadHeap(base->Stream(it->second.data), [](const std::string& e) { throw std::runtime_error(e); });
    return h;
  }
};

PstFile::PstFile(const std::filesystem::path& file) : impl_(new Impl) {
  impl_->bytes = Slurp(file);
  std::string why;
  impl_->base = Open(impl_->bytes, &why);
  if (!impl_->base) { delete impl_; throw std::runtime_error(why); }
  impl_->base->Run(impl_->check);
  impl_->unicode = impl_->check.unicode;
  if (impl_->check.cryptMethod != 0) { delete impl_; throw std::runtime_error("encoded file"); }
}

PstFile::~PstFile() { delete impl_; }
bool PstFile::unicode() const { return impl_->unicode; }

std::vector<std::uint32_t> PstFile::Nodes() const {
  std::vector<std::uint32_t> out;
  for (const auto& [nid, n] : impl_->base->nodes) out.push_back(nid);
  return out;
}

std::uint32_t PstFile::Parent(std::uint32_t nid) const {
  auto it = impl_->base->nodes.find(nid);
  if (it == impl_->base->nodes.end()) throw std::runtime_error("no node " + Hex(nid));
  return it->second.parent;
}

PstProperties PstFile::Properties(std::uint32_t nid) const {
  std::map<std::uint32_t, SubEntry> subs;
  Heap h = impl_->HeapOf(nid, subs);
  if (h.clientSig != 0xBC) throw std::runtime_error("node " + Hex(nid) + " is not a property bag");
  PstProperties out;
  if (!impl_->Reader().Properties(h, subs, &out)) throw std::runtime_error("bad property bag " + Hex(nid));
  return out;
}

PstTable PstFile::Table(std::uint32_t nid) const {
  std::map<std::uint32_t, SubEntry> subs;
  Heap h = impl_->HeapOf(nid, subs);
  if (h.clientSig != 0x7C) throw std::runtime_error("node " + Hex(nid) + " is not a table");
  PstTable out;
  if (!impl_->Reader().Table(h, subs, &out, nullptr)) throw std::runtime_error("bad table " + Hex(nid));
  return out;
}

std::string PstFile::NodeStream(std::uint32_t nid) const {
  auto it = impl_->base->nodes.find(nid);
  if (it == impl_->base->nodes.end()) throw std::runtime_error("no node " + Hex(nid));
  std::string out;
  for (const Span& sp : impl_->base->Stream(it->second.data)) out.append(reinterpret_cast<const char*>(sp.p), sp.n);
  return out;
}

std::string PstFile::SubnodeStream(std::uint32_t nid, std::uint32_t subnid) const {
  auto it = impl_->base->nodes.find(nid);
  if (it == impl_->base->nodes.end()) throw std::runtime_error("no node " + Hex(nid));
  auto subs = impl_->base->Subnodes(it->second.sub);
  auto s = subs.find(subnid);
  if (s == subs.end()) throw std::runtime_error("no subnode " + Hex(subnid));
  std::string out;
  for (const Span& sp : impl_->base->Stream(s->second.data)) out.append(reinterpret_cast<const char*>(sp.p), sp.n);
  return out;
}

}  // namespace testsupport

// The header at the start of a personal folders file ([MS-PST] 2.2.2.6),
// decoded and encoded in one place for both formats: 564 bytes in a
// Unicode file, 512 in an ANSI one. Ids and offsets are held 64-bit; an
// ANSI header stores them in 32 bits.
//
// Encode writes every byte of the header: reserved fields are zero, the
// deprecated free-map arrays (rgbFM, rgbFP) are 0xFF as Outlook leaves them.
// It writes the CRCs as they are held; compute them over the encoded bytes
// (kCrcFrom, kPartialCrcLength, kFullCrcLength) and encode again. Decode
// reads Size(unicode) bytes and checks nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/pst/Bytes.h"

namespace pst::detail {

// A block reference: a block (or page) id and its file offset.
struct Bref {
  std::uint64_t bid = 0;
  std::uint64_t ib = 0;
  bool operator==(const Bref&) const = default;
};

// The ROOT structure inside the header ([MS-PST] 2.2.2.5).
struct HeaderRoot {
  std::uint64_t fileEof = 0;   // ibFileEof: size of the file
  std::uint64_t amapLast = 0;  // ibAMapLast: offset of the last allocation map
  std::uint64_t amapFree = 0;  // cbAMapFree: free bytes in all allocation maps
  std::uint64_t pmapFree = 0;  // cbPMapFree: free bytes in all page maps
  Bref nbt;                    // root page of the node B-tree
  Bref bbt;                    // root page of the block B-tree
  std::uint8_t amapValid = 0;  // fAMapValid: 0x02 when the maps are sound
  bool operator==(const HeaderRoot&) const = default;
};

struct PstHeader {
  static constexpr std::size_t kAnsiSize = 512;
  static constexpr std::size_t kUnicodeSize = 564;
  static constexpr std::size_t Size(bool unicode) { return unicode ? kUnicodeSize : kAnsiSize; }
  // dwCRCPartial covers 471 bytes from wMagicClient; the Unicode header's
  // dwCRCFull 516 bytes from there.
  static constexpr std::size_t kCrcFrom = 8;
  static constexpr std::size_t kPartialCrcLength = 471;
  static constexpr std::size_t kFullCrcLength = 516;
  static constexpr std::uint16_t kClientMagic = 0x4D53;  // "SM"
  static constexpr std::uint8_t kSentinel = 0x80;
  static constexpr std::uint8_t kAMapValid = 0x02;  // VALID_AMAP2

  std::array<char, 4> magic{'!', 'B', 'D', 'N'};  // dwMagic
  std::uint32_t crcPartial = 0;
  std::uint16_t clientMagic = kClientMagic;
  std::uint16_t version = 0;         // wVer: 14 or 15 ANSI, 23 Unicode
  std::uint16_t clientVersion = 19;  // wVerClient
  std::uint8_t platformCreate = 1;
  std::uint8_t platformAccess = 1;
  std::uint64_t nextBid = 0;      // bidNextB: next data block id
  std::uint64_t nextPageBid = 0;  // bidNextP: next page id
  std::uint32_t unique = 0;       // dwUnique
  std::array<std::uint32_t, 32> rgnid{};  // next node index, per node type
  HeaderRoot root;
  std::uint8_t sentinel = kSentinel;  // bSentinel
  std::uint8_t cryptMethod = 0;       // bCryptMethod: 0 none, 1 permute, 2 cyclic
  std::uint32_t crcFull = 0;          // dwCRCFull, Unicode only
  bool operator==(const PstHeader&) const = default;

  void Encode(bool unicode, std::uint8_t* out) const {
    std::memset(out, 0, Size(unicode));
    std::memcpy(out, magic.data(), 4);
    Put32(out + 4, crcPartial);
    Put16(out + 8, clientMagic);
    Put16(out + 10, version);
    Put16(out + 12, clientVersion);
    out[14] = platformCreate;
    out[15] = platformAccess;
    const Offsets& o = Layout(unicode);
    PutId(unicode, out + o.nextBid, nextBid);
    PutId(unicode, out + o.nextPageBid, nextPageBid);
    Put32(out + o.unique, unique);
    for (std::size_t t = 0; t < rgnid.size(); ++t) Put32(out + o.rgnid + 4 * t, rgnid[t]);
    std::uint8_t* r = out + o.root;
    const std::size_t w = unicode ? 8 : 4;
    PutId(unicode, r + 4, root.fileEof);
    PutId(unicode, r + 4 + w, root.amapLast);
    PutId(unicode, r + 4 + 2 * w, root.amapFree);
    PutId(unicode, r + 4 + 3 * w, root.pmapFree);
    PutId(unicode, r + 4 + 4 * w, root.nbt.bid);
    PutId(unicode, r + 4 + 5 * w, root.nbt.ib);
    PutId(unicode, r + 4 + 6 * w, root.bbt.bid);
    PutId(unicode, r + 4 + 7 * w, root.bbt.ib);
    r[4 + 8 * w] = root.amapValid;
    std::memset(out + o.freeMaps, 0xFF, 256);
    out[o.sentinel] = sentinel;
    out[o.sentinel + 1] = cryptMethod;
    if (unicode) Put32(out + 524, crcFull);
  }

  static PstHeader Decode(bool unicode, const std::uint8_t* at) {
    PstHeader h;
    std::memcpy(h.magic.data(), at, 4);
    h.crcPartial = Get32(at + 4);
    h.clientMagic = Get16(at + 8);
    h.version = Get16(at + 10);
    h.clientVersion = Get16(at + 12);
    h.platformCreate = at[14];
    h.platformAccess = at[15];
    const Offsets& o = Layout(unicode);
    h.nextBid = GetId(unicode, at + o.nextBid);
    h.nextPageBid = GetId(unicode, at + o.nextPageBid);
    h.unique = Get32(at + o.unique);
    for (std::size_t t = 0; t < h.rgnid.size(); ++t) h.rgnid[t] = Get32(at + o.rgnid + 4 * t);
    const std::uint8_t* r = at + o.root;
    const std::size_t w = unicode ? 8 : 4;
    h.root.fileEof = GetId(unicode, r + 4);
    h.root.amapLast = GetId(unicode, r + 4 + w);
    h.root.amapFree = GetId(unicode, r + 4 + 2 * w);
    h.root.pmapFree = GetId(unicode, r + 4 + 3 * w);
    h.root.nbt = {GetId(unicode, r + 4 + 4 * w), GetId(unicode, r + 4 + 5 * w)};
    h.root.bbt = {GetId(unicode, r + 4 + 6 * w), GetId(unicode, r + 4 + 7 * w)};
    h.root.amapValid = r[4 + 8 * w];
    h.sentinel = at[o.sentinel];
    h.cryptMethod = at[o.sentinel + 1];
    h.crcFull = unicode ? Get32(at + 524) : 0;
    return h;
  }

 private:
  // Where the fields after the first 16 bytes sit in each format.
  struct Offsets {
    std::size_t nextBid, nextPageBid, unique, rgnid, root, freeMaps, sentinel;
  };
  static const Offsets& Layout(bool unicode) {
    static constexpr Offsets kAnsi{24, 28, 32, 36, 164, 204, 460};
    static constexpr Offsets kUnicode{516, 32, 40, 44, 180, 256, 512};
    return unicode ? kUnicode : kAnsi;
  }
  static void PutId(bool unicode, std::uint8_t* p, std::uint64_t v) {
    if (unicode) Put64(p, v);
    else Put32(p, static_cast<std::uint32_t>(v));
  }
  static std::uint64_t GetId(bool unicode, const std::uint8_t* p) { return unicode ? Get64(p) : Get32(p); }
};

}  // namespace pst::detail

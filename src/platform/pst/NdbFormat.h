// The sizes that set the two file formats apart at the node database level.
// The writer and the checker are templates over one of these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pst::detail {

struct AnsiFormat {
  using Id = std::uint32_t;  // block ids, file offsets, B-tree keys
  static constexpr bool kUnicode = false;
  static constexpr std::size_t kIdSize = 4;
  static constexpr std::uint16_t kVersion = 14;
  static constexpr std::size_t kPageTrailer = 12;
  static constexpr std::size_t kBlockTrailer = 12;
  static constexpr std::size_t kMaxBlockData = 8180;
  static constexpr std::size_t kPageData = 512 - kPageTrailer;  // CRC'd bytes of a page
  static constexpr std::size_t kBtEntries = 496;                // entry area of a B-tree page
  static constexpr std::size_t kBbtEntry = 12, kNbtEntry = 16, kBtIndexEntry = 12;
  static constexpr std::size_t kMapPadding = 4;  // zero bytes before map bits
  static constexpr std::size_t kXEntries = (kMaxBlockData - 8) / 4;
  static constexpr std::size_t kSlHeader = 4, kSlEntry = 12, kSiEntry = 8;
  static constexpr std::size_t kRowIndexValue = 2;
  static constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFFull;
};

struct UnicodeFormat {
  using Id = std::uint64_t;
  static constexpr bool kUnicode = true;
  static constexpr std::size_t kIdSize = 8;
  static constexpr std::uint16_t kVersion = 23;
  static constexpr std::size_t kPageTrailer = 16;
  static constexpr std::size_t kBlockTrailer = 16;
  static constexpr std::size_t kMaxBlockData = 8176;
  static constexpr std::size_t kPageData = 512 - kPageTrailer;
  static constexpr std::size_t kBtEntries = 488;
  static constexpr std::size_t kBbtEntry = 24, kNbtEntry = 32, kBtIndexEntry = 24;
  static constexpr std::size_t kMapPadding = 0;
  static constexpr std::size_t kXEntries = (kMaxBlockData - 8) / 8;
  static constexpr std::size_t kSlHeader = 8, kSlEntry = 24, kSiEntry = 16;
  static constexpr std::size_t kRowIndexValue = 4;
  static constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFFFFFull;
};

// Where the maps sit: every interval of 253,952 bytes from 0x4400 on starts
// with its allocation map; every eighth also with a page map; from the
// 128th on, every 496th of those also with a free map.
constexpr std::uint64_t kFirstInterval = 0x4400;
constexpr std::uint64_t kIntervalSize = 496 * 8 * 64;
constexpr std::uint64_t kDensityListOffset = 0x4200;

constexpr bool HasPMap(std::uint64_t interval) { return interval % 8 == 0; }
constexpr bool HasFMap(std::uint64_t interval) {
  return interval >= 128 && interval % 8 == 0 && (interval - 128) % 496 == 0;
}
constexpr std::uint64_t MapBytes(std::uint64_t interval) {
  return 512 + (HasPMap(interval) ? 512 : 0) + (HasFMap(interval) ? 512 : 0);
}
constexpr std::uint64_t IntervalStart(std::uint64_t interval) {
  return kFirstInterval + interval * kIntervalSize;
}

// Page types in page trailers.
enum PageType : std::uint8_t {
  kPageBbt = 0x80,
  kPageNbt = 0x81,
  kPageFMap = 0x82,
  kPagePMap = 0x83,
  kPageAMap = 0x84,
  kPageFPMap = 0x85,
  kPageDList = 0x86,
};

}  // namespace pst::detail

// The checksums of the file format: a reflected CRC-32 started from zero
// with no final inversion, and the 16-bit signature of pages and blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pst::detail {

std::uint32_t Crc(const void* data, std::size_t size);

inline std::uint16_t Signature(std::uint64_t ib, std::uint64_t bid) {
  std::uint32_t x = static_cast<std::uint32_t>(ib) ^ static_cast<std::uint32_t>(bid);
  return static_cast<std::uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

}  // namespace pst::detail

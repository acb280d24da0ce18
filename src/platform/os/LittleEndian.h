// Little-endian integers in byte buffers: the one place the program spells
// out their byte order (the .wab records, the BIFF records, the .chm
// headers all store them so). Reads and writes at any alignment.
#pragma once

#include <cstdint>

namespace le {

inline std::uint16_t Get16(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

inline void Put16(void* at, std::uint16_t v) {
  auto* p = static_cast<unsigned char*>(at);
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Put32(void* at, std::uint32_t v) {
  auto* p = static_cast<unsigned char*>(at);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void Put64(void* at, std::uint64_t v) {
  auto* p = static_cast<unsigned char*>(at);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace le

// Little-endian byte helpers shared by every layer of the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace pst::detail {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

inline void Append16(Bytes& b, std::uint16_t v) {
  std::size_t n = b.size();
  b.resize(n + 2);
  Put16(b.data() + n, v);
}
inline void Append32(Bytes& b, std::uint32_t v) {
  std::size_t n = b.size();
  b.resize(n + 4);
  Put32(b.data() + n, v);
}
inline void Append64(Bytes& b, std::uint64_t v) {
  std::size_t n = b.size();
  b.resize(n + 8);
  Put64(b.data() + n, v);
}
inline void AppendBytes(Bytes& b, const void* p, std::size_t n) {
  const auto* s = static_cast<const std::uint8_t*>(p);
  b.insert(b.end(), s, s + n);
}
inline void AppendBytes(Bytes& b, std::string_view s) { AppendBytes(b, s.data(), s.size()); }

inline Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

}  // namespace pst::detail

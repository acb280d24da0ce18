// Little-endian integers in the tests' byte strings: fixtures build .wab and
// .pst bytes in std::string, checkers read them back. Over the program's own
// helper, so the tests and the program cannot disagree on the byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/LittleEndian.h"

namespace testsupport::le {

using ::le::Get16;
using ::le::Get32;
using ::le::Get64;

inline std::uint16_t Get16(std::string_view b, std::size_t at) { return ::le::Get16(b.data() + at); }
inline std::uint32_t Get32(std::string_view b, std::size_t at) { return ::le::Get32(b.data() + at); }

// The value of a short little-endian field of up to four bytes (a 2-byte
// kind, a 4-byte id), as a table stores it.
inline std::uint32_t Value32(std::string_view b) {
  std::uint32_t v = 0;
  for (std::size_t i = b.size() < 4 ? b.size() : 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(b[i]);
  return v;
}

inline void Set32(std::string& b, std::size_t at, std::uint32_t v) { ::le::Put32(b.data() + at, v); }
inline void Append32(std::string& b, std::uint32_t v) {
  char bytes[4];
  ::le::Put32(bytes, v);
  b.append(bytes, 4);
}
inline std::string Bytes32(std::uint32_t v) {
  std::string s;
  Append32(s, v);
  return s;
}

}  // namespace testsupport::le

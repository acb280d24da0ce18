#include "platform/pst/Crc.h"

#include <zlib.h>

namespace pst::detail {

// zlib's crc32 inverts on entry and exit; starting it from all ones and
// inverting its result gives the plain zero-started CRC the format uses.
std::uint32_t Crc(const void* data, std::size_t size) {
  uLong c = 0xFFFFFFFFUL;
  const auto* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    uInt chunk = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
    c = crc32(c, p, chunk);
    p += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(~c);
}

}  // namespace pst::detail

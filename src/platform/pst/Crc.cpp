#include "platform/pst/Crc.h"

#ifdef ADDRIVO_PST_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace pst::detail {

// Both libraries invert on entry and exit; starting them from all ones and
// inverting their result gives the plain zero-started CRC the format uses.
std::uint32_t Crc(const void* data, std::size_t size) {
  // Nothing has CRC 0; both libraries take a null buffer as a request for
  // their starting value instead (an empty list's member ids have none).
  if (size == 0) return 0;
#ifdef ADDRIVO_PST_LIBDEFLATE
  return ~libdeflate_crc32(0xFFFFFFFFu, data, size);
#else
  uLong c = 0xFFFFFFFFUL;
  const auto* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    uInt chunk = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
    c = crc32(c, p, chunk);
    p += chunk;
    size -= chunk;
  }
  return static_cast<std::uint32_t>(~c);
#endif
}

}  // namespace pst::detail

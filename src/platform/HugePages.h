// A hint for large blocks that are filled once and soon: where the system
// offers it, huge pages turn thousands of page faults into a few. Only a
// hint: when refused, or elsewhere than Linux, nothing changes.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

inline void PreferHugePages(const void* block, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  // Only the whole huge pages inside the block: its neighbours keep their own advice.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (at + kHuge - 1) & ~(kHuge - 1), end = (at + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace platform

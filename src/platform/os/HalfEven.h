// N / 100 rounded to the nearest whole number, a half going to the even
// neighbour (250 → 2, 350 → 4, 50 → 0): the large step of a progress bar over
// N contacts, the same in the scan and in every export.
#pragma once

#include <cstdint>

namespace os {

// Whole-number arithmetic: no dependence on the floating-point rounding mode.
constexpr std::int32_t HundredthRoundedHalfEven(std::int32_t n) {
  std::int64_t q = n / 100, r = n % 100;
  if (r < 0) {  // floor division for a negative count
    r += 100;
    q -= 1;
  }
  if (r > 50 || (r == 50 && q % 2 != 0)) ++q;
  return static_cast<std::int32_t>(q);
}

}  // namespace os

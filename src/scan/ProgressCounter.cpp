#include "ProgressCounter.h"

std::int64_t ProgressCounter = 1;

namespace scan {

int LargeProgressStep(std::int32_t count) {
  // Whole-number arithmetic: no dependence on the floating-point rounding mode.
  std::int64_t q = count / 100, r = count % 100;
  if (r < 0) {  // floor division for a negative count
    r += 100;
    q -= 1;
  }
  if (r > 50 || (r == 50 && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

}  // namespace scan

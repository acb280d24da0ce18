#include "ProgressCounter.h"

#include "platform/os/HalfEven.h"

std::int64_t ProgressCounter = 1;

namespace scan {

int LargeProgressStep(std::int32_t count) { return os::HundredthRoundedHalfEven(count); }

}  // namespace scan

// The window's progress position: what its bars show while the scan runs.
#pragma once

#include <cstdint>

// Set to 1 before the first contact of a pass and raised by 1 after each, so a
// complete pass over N contacts leaves N + 1. It is 64 bits wide on purpose:
// books of 32,767 contacts and more exist, which a 16-bit counter cannot
// follow, and the reader reports counts up to 2^31 - 1, so even 32 bits would
// overflow on the final "+1" of the largest book. 64 bits never overflow.
extern std::int64_t ProgressCounter;

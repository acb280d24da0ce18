#include "ProgressCounter.h"

std::int64_t ProgressCounter = 1;

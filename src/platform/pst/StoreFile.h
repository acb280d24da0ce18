// A whole store model written in one format: the one place that pairs the
// messaging layer with the node database. The caller owns the clock (in the
// model) and the random numbers, so that fixed inputs give fixed bytes.
#pragma once

#include <random>

#include "platform/pst/Ltp.h"
#include "platform/pst/Messaging.h"
#include "platform/pst/NdbWriter.h"

namespace pst::detail {

// The layout settings of the ANSI or the Unicode format.
LtpFormat FileFormat(bool unicode, int codePage);

// Writes every node of the store and then the file's maps and header.
void SerializeStore(const StoreModel& model, const LtpFormat& fmt, FileSink& sink, std::mt19937_64& rng);

}  // namespace pst::detail

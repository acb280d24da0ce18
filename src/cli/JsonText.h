// JSON text for the list verbs.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// Appends text as a JSON string: quotes, backslash and control characters
// escaped; everything else (UTF-8 included) passes through.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace cli

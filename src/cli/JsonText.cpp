#include "JsonText.h"

#include <array>
#include <cstdio>

namespace cli {
namespace {

// Which bytes JSON cannot hold as they are, as a table: the check runs for
// every byte printed.
constexpr std::array<bool, 256> MakeEscapeTable() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[c] = true;
  t['"'] = t['\\'] = t[0x7F] = true;
  return t;
}
constexpr auto kNeedsEscape = MakeEscapeTable();

bool NeedsEscape(unsigned char c) { return kNeedsEscape[c]; }

// Appends c, a character JSON cannot hold as it is, escaped.
void AppendEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\b': out += "\\b"; break;
    case '\f': out += "\\f"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default: {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  // Runs of characters that pass through are copied at once.
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t run = i;
    while (run < text.size() && !NeedsEscape(static_cast<unsigned char>(text[run]))) ++run;
    out.append(text.data() + i, run - i);
    if (run == text.size()) break;
    AppendEscaped(out, static_cast<unsigned char>(text[run]));
    i = run + 1;
  }
  out += '"';
}

}  // namespace cli

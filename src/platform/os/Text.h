// Small text helpers that every layer shares, so each is written once.
// UTF-8 in, UTF-8 out; nothing here depends on the system.
#pragma once

#include <cstdint>
#include <string>

namespace text {

// Removes leading and trailing spaces (U+0020) only; tabs and other white
// space stay, as they do in the names and paths the program is given.
inline std::string TrimSpaces(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "1 contact", "3 contacts".
inline std::string Counted(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace text

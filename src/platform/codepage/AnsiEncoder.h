// UTF-8 to one ANSI code page, fast enough to run once per cell.
// Gives exactly the bytes of codepage::FromUtf8: a character the page lacks,
// and each byte of malformed UTF-8, becomes "?". Single-byte pages go through
// a table built once from the page's own mapping; double-byte pages and the
// pages whose conversion composes or splits characters (1255, 1258) go
// through codepage::FromUtf8 itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace codepage {

class AnsiEncoder {
 public:
  explicit AnsiEncoder(int codePage);

  int codePage() const { return codePage_; }

  // Replaces out with the text in the code page. Returns false, with out
  // unspecified, when the result would take more than maxBytes bytes.
  bool Encode(std::string_view utf8, std::size_t maxBytes, std::string& out) const;

  // Writes the text in the code page to out, which has room for maxBytes.
  // Returns the number of bytes, or kTooLong (out then unspecified).
  std::size_t EncodeTo(std::string_view utf8, char* out, std::size_t maxBytes) const {
    // Plain ASCII, the usual case, is the same in every ANSI page.
    if (utf8.size() <= maxBytes && IsAscii(utf8)) {
      std::memcpy(out, utf8.data(), utf8.size());
      return utf8.size();
    }
    return EncodeOther(utf8, out, maxBytes);
  }
  static constexpr std::size_t kTooLong = static_cast<std::size_t>(-1);

  // True when encoding the text would write "?" for some character: one the
  // page lacks, or malformed UTF-8.
  bool Loses(std::string_view utf8) const { return !IsAscii(utf8) && LosesOther(utf8); }

 private:
  static bool IsAscii(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    auto load8 = [p](std::size_t at) {
      std::uint64_t w;
      std::memcpy(&w, p + at, 8);
      return w;
    };
    auto load4 = [p](std::size_t at) {
      std::uint32_t w;
      std::memcpy(&w, p + at, 4);
      return std::uint64_t{w};
    };
    std::uint64_t bits = 0;
    if (n >= 8) {
      for (std::size_t i = 0; i + 8 <= n; i += 8) bits |= load8(i);
      bits |= load8(n - 8);  // the tail, overlapping
    } else if (n >= 4) {
      bits = load4(0) | load4(n - 4);
    } else {
      for (std::size_t i = 0; i < n; ++i) bits |= static_cast<unsigned char>(p[i]);
    }
    return (bits & 0x8080808080808080ull) == 0;
  }
  std::size_t EncodeOther(std::string_view utf8, char* out, std::size_t maxBytes) const;
  bool LosesOther(std::string_view utf8) const;

  int codePage_;
  // For single-byte pages: the byte of each BMP character above U+007F,
  // 0 where the page has none. Empty for the pages that need iconv.
  std::unique_ptr<unsigned char[]> table_;
};

}  // namespace codepage

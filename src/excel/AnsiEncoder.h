// UTF-8 to one ANSI code page, fast enough to run once per cell.
// Gives exactly the bytes of codepage::FromUtf8: a character the page lacks,
// and each byte of malformed UTF-8, becomes "?". Single-byte pages go through
// a table built once from the page's own mapping; double-byte pages and the
// pages whose conversion composes or splits characters (1255, 1258) go
// through codepage::FromUtf8 itself.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace excel {

class AnsiEncoder {
 public:
  explicit AnsiEncoder(int codePage);

  int codePage() const { return codePage_; }

  // Replaces out with the text in the code page. Returns false, with out
  // unspecified, when the result would take more than maxBytes bytes.
  bool Encode(std::string_view utf8, std::size_t maxBytes, std::string& out) const;

 private:
  int codePage_;
  // For single-byte pages: the byte of each BMP character above U+007F,
  // 0 where the page has none. Empty for the pages that need iconv.
  std::unique_ptr<unsigned char[]> table_;
};

}  // namespace excel

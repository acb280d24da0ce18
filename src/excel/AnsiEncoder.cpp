#include "excel/AnsiEncoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/codepage/CodePage.h"

namespace excel {
namespace {

// Pages where one character may take two bytes, or where iconv composes or
// decomposes characters, so a per-character table would give other bytes.
bool NeedsIconv(int codePage) {
  switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361:
    case 1255: case 1258:
      return true;
    default:
      return false;
  }
}

// The code point of the UTF-8 sequence at s[i] and its length, or 0 when it
// is malformed (overlong, surrogate, beyond U+10FFFF, cut short): the same
// rules as codepage::FromUtf8, which turns each such byte into one "?".
std::size_t Decode(std::string_view s, std::size_t i, char32_t* cp) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  unsigned char c = b(0);
  std::size_t n;
  char32_t v;
  if ((c & 0xE0) == 0xC0) {
    n = 2; v = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3; v = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4; v = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(k) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return n;
}

}  // namespace

AnsiEncoder::AnsiEncoder(int codePage) : codePage_(codePage) {
  if (NeedsIconv(codePage)) return;
  table_ = std::make_unique<unsigned char[]>(0x10000);
  std::memset(table_.get(), 0, 0x10000);
  if (!codepage::IsSupported(codePage)) return;  // every non-ASCII character is "?"
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    std::string utf8 = codepage::ToUtf8(std::string(1, static_cast<char>(byte)), codePage);
    char32_t cp = 0;
    if (utf8.empty() || Decode(utf8, 0, &cp) != utf8.size() || cp == 0xFFFD || cp > 0xFFFF)
      continue;  // a byte the page leaves undefined
    // Keep the page's own choice when two bytes decode to one character.
    std::string back = codepage::FromUtf8(utf8, codePage).bytes;
    if (back.size() == 1 && static_cast<unsigned char>(back[0]) == byte)
      table_[cp] = static_cast<unsigned char>(byte);
  }
}

bool AnsiEncoder::Encode(std::string_view utf8, std::size_t maxBytes, std::string& out) const {
  if (!table_) {
    auto r = codepage::FromUtf8(utf8, codePage_, maxBytes);
    if (r.truncated) return false;
    out = std::move(r.bytes);
    return true;
  }
  // A single-byte page never gives more bytes than the UTF-8 has.
  out.resize(std::min(utf8.size(), maxBytes));
  std::size_t n = EncodeTo(utf8, out.data(), out.size());
  if (n == kTooLong) return false;
  out.resize(n);
  return true;
}

std::size_t AnsiEncoder::EncodeOther(std::string_view utf8, char* out, std::size_t maxBytes) const {
  if (!table_) {
    auto r = codepage::FromUtf8(utf8, codePage_, maxBytes);
    if (r.truncated) return kTooLong;
    std::memcpy(out, r.bytes.data(), r.bytes.size());
    return r.bytes.size();
  }
  const char* p = utf8.data();
  const std::size_t size = utf8.size();
  // Plain ASCII, the usual case, is copied as it stands.
  std::size_t ascii = 0;
  while (ascii + 8 <= size) {
    std::uint64_t word;
    std::memcpy(&word, p + ascii, 8);
    if (word & 0x8080808080808080ull) break;
    ascii += 8;
  }
  while (ascii < size && static_cast<unsigned char>(p[ascii]) < 0x80) ++ascii;
  if (ascii > maxBytes) return kTooLong;
  std::memcpy(out, p, ascii);
  std::size_t n = ascii;
  for (std::size_t i = ascii; i < size;) {
    if (n == maxBytes) return kTooLong;
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x80) {
      out[n++] = static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    std::size_t len = Decode(utf8, i, &cp);
    if (len == 0) {
      out[n++] = '?';
      ++i;
      continue;
    }
    unsigned char byte = cp <= 0xFFFF ? table_[cp] : 0;
    out[n++] = byte ? static_cast<char>(byte) : '?';
    i += len;
  }
  return n;
}

}  // namespace excel

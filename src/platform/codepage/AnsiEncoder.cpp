#include "platform/codepage/AnsiEncoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/codepage/CodePage.h"

namespace codepage {
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

}  // namespace

AnsiEncoder::AnsiEncoder(int codePage) : codePage_(codePage) {
  if (NeedsIconv(codePage)) return;
  table_ = std::make_unique<unsigned char[]>(0x10000);
  std::memset(table_.get(), 0, 0x10000);
  if (!IsSupported(codePage)) return;  // every non-ASCII character is "?"
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    std::string utf8 = ToUtf8(std::string(1, static_cast<char>(byte)), codePage);
    char32_t cp = 0;
    if (utf8.empty() || DecodeUtf8(utf8, 0, &cp) != utf8.size() || cp == 0xFFFD || cp > 0xFFFF)
      continue;  // a byte the page leaves undefined
    // Keep the page's own choice when two bytes decode to one character.
    std::string back = FromUtf8(utf8, codePage).bytes;
    if (back.size() == 1 && static_cast<unsigned char>(back[0]) == byte)
      table_[cp] = static_cast<unsigned char>(byte);
  }
}

bool AnsiEncoder::Encode(std::string_view utf8, std::size_t maxBytes, std::string& out) const {
  if (!table_) {
    auto r = FromUtf8(utf8, codePage_, maxBytes);
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
    auto r = FromUtf8(utf8, codePage_, maxBytes);
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
    std::size_t len = DecodeUtf8(utf8, i, &cp);
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

bool AnsiEncoder::LosesOther(std::string_view utf8) const {
  if (!table_) return FromUtf8(utf8, codePage_).replaced > 0;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(utf8, i, &cp);
    if (len == 0 || cp > 0xFFFF || table_[cp] == 0) return true;
    i += len;
  }
  return false;
}

}  // namespace codepage

// The system's ANSI code page and the conversions Windows offers for it,
// made here over iconv. Engines hand UTF-8 in and out; only files hold
// 8-bit text, and they say which code page it is in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace codepage {

// The ANSI code page Windows uses for a locale name such as "ru_RU.UTF-8",
// "ja_JP" or "zh_TW.Big5". Unknown locales, "C" and "POSIX" give 1252.
int AnsiCodePageForLocale(std::string_view locale);

// The ANSI code page of the user's locale, from LC_ALL, else LC_CTYPE, else
// LANG (the first one set and non-empty), as the C library would choose.
int SystemAnsiCodePage();

// True when iconv here can convert to and from the code page.
bool IsSupported(int codePage);

struct EncodeResult {
  std::string bytes;
  std::size_t replaced = 0;   // characters the code page lacks, written as "?"
  bool truncated = false;     // the text did not fit into maxBytes
};

// UTF-8 to the code page. A character the page lacks becomes "?"; malformed
// UTF-8 also becomes "?". With maxBytes, whole characters are written while
// they fit, so a double-byte character is never cut in half.
EncodeResult FromUtf8(std::string_view utf8, int codePage,
                      std::size_t maxBytes = std::string::npos);

// The code page to UTF-8. Bytes that are not a character of the page become
// U+FFFD, never a failure.
std::string ToUtf8(std::string_view bytes, int codePage);

// UTF-16LE (surrogate pairs included) to UTF-8; unpaired surrogates and a
// trailing odd byte become U+FFFD.
std::string Utf16leToUtf8(std::string_view utf16le);

// UTF-8 to UTF-16LE; malformed UTF-8 becomes U+FFFD.
std::string Utf8ToUtf16le(std::string_view utf8);

// The code point of the UTF-8 sequence at s[i] and its length, or 0 when it
// is malformed (overlong, a surrogate, beyond U+10FFFF, cut short).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t* codePoint);

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view utf8);

}  // namespace codepage

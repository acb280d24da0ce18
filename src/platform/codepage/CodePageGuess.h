// Which code page a book's 8-bit texts were most likely written in, by a
// library made for that (uchardet), for books whose texts do not fit the
// locale's code page. Where the build has no such library (the Windows
// cross build) there is no guess, and the locale's page is used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace codepage {

struct Guess {
  int codePage = 0;
  std::string charset;  // the library's name for it ("WINDOWS-1251")
};

// A guess for the bytes of 8-bit texts (joined by line breaks); nothing
// when the library is unsure, names no code page of Windows, or is absent.
std::optional<Guess> GuessCodePage(std::string_view bytes);

// The Windows code page of a charset name as uchardet and IANA spell them
// ("WINDOWS-1251" 1251, "KOI8-R" 20866, "ISO-8859-5" 28595, "SHIFT_JIS"
// 932, ...); 0 for a name without one.
int CodePageOfCharset(std::string_view name);

// Whether two code pages read the bytes alike.
bool ReadAlike(std::string_view bytes, int a, int b);

}  // namespace codepage

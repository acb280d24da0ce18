// iconv's interface over the system's own conversions
// (MultiByteToWideChar / WideCharToMultiByte), for the converters the code
// page engine opens: "CPnnn" to and from "UTF-8". Stateless; one character
// at a time, so a character the page lacks stops the conversion with EILSEQ
// as GNU iconv does, never a best-fit look-alike.
#pragma once

#include <cstddef>

using iconv_t = void*;

iconv_t iconv_open(const char* to, const char* from);
std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft);
int iconv_close(iconv_t cd);

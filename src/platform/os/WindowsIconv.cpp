#include "iconv.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// Encoded in the handle: the page, and which way.
struct Converter {
  unsigned codePage;
  bool toUtf8;
};

unsigned PageOf(const char* name) {
  if ((name[0] != 'C' && name[0] != 'c') || (name[1] != 'P' && name[1] != 'p')) return 0;
  char* end = nullptr;
  const unsigned long page = std::strtoul(name + 2, &end, 10);
  if (*end || page == 0 || page > 65000 || !::IsValidCodePage(static_cast<UINT>(page))) return 0;
  return static_cast<unsigned>(page);
}

bool IsUtf8(const char* name) { return _stricmp(name, "UTF-8") == 0; }

// The length of the UTF-8 sequence starting with lead, 0 when it cannot start one.
std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// Windows gives a byte its page leaves unassigned (0x81 in 1252) the C1
// control of the same number; no page assigns those controls, so such a
// byte is no character, as GNU iconv has it.
bool IsUnassigned(unsigned char lead, wchar_t c) { return lead >= 0x80 && c >= 0x80 && c <= 0x9F; }

std::size_t Fail(int err) {
  errno = err;
  return static_cast<std::size_t>(-1);
}

}  // namespace

iconv_t iconv_open(const char* to, const char* from) {
  unsigned page = 0;
  bool toUtf8 = false;
  if (IsUtf8(to) && (page = PageOf(from)) != 0) toUtf8 = true;
  else if (IsUtf8(from) && (page = PageOf(to)) != 0) toUtf8 = false;
  if (page == 0) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  return new Converter{page, toUtf8};
}

int iconv_close(iconv_t cd) {
  delete static_cast<Converter*>(cd);
  return 0;
}

std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft) {
  if (!in || !*in) return 0;  // a reset: there is no state
  const Converter& c = *static_cast<Converter*>(cd);
  while (*inLeft > 0) {
    const auto lead = static_cast<unsigned char>(**in);
    std::size_t n = 1;
    wchar_t wide[2];
    int wideLen = 0;
    if (c.toUtf8) {
      if (lead >= 0x80 && ::IsDBCSLeadByteEx(c.codePage, lead)) n = 2;
      if (n > *inLeft) return Fail(EINVAL);
      wideLen = ::MultiByteToWideChar(c.codePage, MB_ERR_INVALID_CHARS, *in, static_cast<int>(n), wide, 2);
      if (wideLen <= 0 || IsUnassigned(lead, wide[0])) return Fail(EILSEQ);
      char buf[8];
      const int len = ::WideCharToMultiByte(CP_UTF8, 0, wide, wideLen, buf, sizeof buf, nullptr, nullptr);
      if (len <= 0) return Fail(EILSEQ);
      if (static_cast<std::size_t>(len) > *outLeft) return Fail(E2BIG);
      std::memcpy(*out, buf, static_cast<std::size_t>(len));
      *out += len;
      *outLeft -= static_cast<std::size_t>(len);
    } else {
      n = Utf8Length(lead);
      if (n == 0) return Fail(EILSEQ);
      if (n > *inLeft) return Fail(EINVAL);
      wideLen = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, *in, static_cast<int>(n), wide, 2);
      if (wideLen <= 0 || (wide[0] >= 0x80 && wide[0] <= 0x9F)) return Fail(EILSEQ);
      char buf[8];
      BOOL usedDefault = FALSE;
      const int len = ::WideCharToMultiByte(c.codePage, WC_NO_BEST_FIT_CHARS, wide, wideLen, buf, sizeof buf,
                                            nullptr, &usedDefault);
      if (len <= 0 || usedDefault) return Fail(EILSEQ);
      // Only a character the bytes stand for: some pages also take look-alikes
      // one way (as best fit does), which GNU iconv refuses.
      wchar_t back[2];
      const int backLen = ::MultiByteToWideChar(c.codePage, MB_ERR_INVALID_CHARS, buf, len, back, 2);
      if (backLen != wideLen || std::wmemcmp(back, wide, static_cast<std::size_t>(wideLen)) != 0)
        return Fail(EILSEQ);
      if (static_cast<std::size_t>(len) > *outLeft) return Fail(E2BIG);
      std::memcpy(*out, buf, static_cast<std::size_t>(len));
      *out += len;
      *outLeft -= static_cast<std::size_t>(len);
    }
    *in += n;
    *inLeft -= n;
  }
  return 0;
}

#include "CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/os/Os.h"

namespace codepage {
namespace {

struct LocaleEntry {
  const char* prefix;  // language, or language_TERRITORY
  int codePage;
};

// Longer prefixes first so zh_TW wins over zh.
constexpr std::array<LocaleEntry, 40> kLocales{{
    {"zh_TW", 950}, {"zh_HK", 950}, {"zh_MO", 950}, {"zh_CN", 936}, {"zh_SG", 936},
    {"zh", 936},    {"ja", 932},    {"ko", 949},    {"th", 874},    {"vi", 1258},
    {"pl", 1250},   {"cs", 1250},   {"hu", 1250},   {"sk", 1250},   {"sl", 1250},
    {"hr", 1250},   {"ro", 1250},   {"sq", 1250},   {"bs", 1250},   {"ru", 1251},
    {"uk", 1251},   {"bg", 1251},   {"be", 1251},   {"mk", 1251},   {"sr", 1251},
    {"kk", 1251},   {"el", 1253},   {"tr", 1254},   {"az", 1254},   {"he", 1255},
    {"iw", 1255},   {"yi", 1255},   {"ar", 1256},   {"fa", 1256},   {"ur", 1256},
    {"lt", 1257},   {"lv", 1257},   {"et", 1257},   {"sr_ME", 1250}, {"uz", 1254},
}};

bool StartsWithLanguage(std::string_view locale, std::string_view prefix) {
  if (locale.substr(0, prefix.size()) != prefix) return false;
  if (locale.size() == prefix.size()) return true;
  char next = locale[prefix.size()];
  return next == '_' || next == '.' || next == '@';
}

// iconv knows most Windows pages as "CP<n>"; the ISO and KOI pages and a
// few others only by their own names.
std::string IconvName(int codePage) {
  if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
  switch (codePage) {
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 54936: return "GB18030";
    case 50220: return "ISO-2022-JP";
    case 51950: return "EUC-TW";
    case 52936: return "HZ-GB-2312";
    default: return "CP" + std::to_string(codePage);
  }
}

// iconv descriptors are costly to open; keep one per direction and page.
// Each use takes the lock: conversions are short and the engines are single-threaded.
class Converters {
 public:
  static Converters& Instance() {
    static Converters c;
    return c;
  }
  iconv_t Get(const std::string& to, const std::string& from) {
    auto key = to + "<" + from;
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    cache_.emplace(key, cd);
    return cd;
  }
  std::mutex mutex;

 private:
  ~Converters() {
    for (auto& [k, cd] : cache_)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  std::map<std::string, iconv_t> cache_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Length of the UTF-8 sequence starting at s[i], or 0 when malformed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i, char32_t* cp = nullptr) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  unsigned char c = b(0);
  std::size_t n;
  char32_t v;
  if (c < 0x80) {
    if (cp) *cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
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
  if (cp) *cp = v;
  return n;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t v) {
  if (v < 0x80) {
    out += static_cast<char>(v);
  } else if (v < 0x800) {
    out += static_cast<char>(0xC0 | (v >> 6));
    out += static_cast<char>(0x80 | (v & 0x3F));
  } else if (v < 0x10000) {
    out += static_cast<char>(0xE0 | (v >> 12));
    out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (v & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (v >> 18));
    out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (v & 0x3F));
  }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t* codePoint) {
  return Utf8SequenceLength(s, i, codePoint);
}

int AnsiCodePageForLocale(std::string_view locale) {
  // Strip ".codeset" and "@modifier" but keep language_TERRITORY.
  auto end = locale.find_first_of(".@");
  std::string_view base = locale.substr(0, end);
  const LocaleEntry* best = nullptr;
  for (const auto& e : kLocales) {
    std::string_view p = e.prefix;
    if (StartsWithLanguage(base, p) && (!best || p.size() > std::strlen(best->prefix))) best = &e;
  }
  return best ? best->codePage : 1252;
}

int SystemAnsiCodePage() {
  if (const auto page = os::SystemCodePage()) return *page;
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return AnsiCodePageForLocale(v);
  }
  return 1252;
}

bool IsSupported(int codePage) {
  auto& c = Converters::Instance();
  std::lock_guard lock(c.mutex);
  return c.Get(IconvName(codePage), "UTF-8") != reinterpret_cast<iconv_t>(-1) &&
         c.Get("UTF-8", IconvName(codePage)) != reinterpret_cast<iconv_t>(-1);
}

EncodeResult FromUtf8(std::string_view utf8, int codePage, std::size_t maxBytes) {
  EncodeResult r;
  if (IsAscii(utf8)) {  // every ANSI page is ASCII below 0x80
    if (utf8.size() > maxBytes) {
      r.bytes.assign(utf8.substr(0, maxBytes));
      r.truncated = true;
    } else {
      r.bytes.assign(utf8);
    }
    return r;
  }
  auto& conv = Converters::Instance();
  std::lock_guard lock(conv.mutex);
  iconv_t cd = conv.Get(IconvName(codePage), "UTF-8");
  r.bytes.reserve(utf8.size());
  char buf[16];
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = Utf8SequenceLength(utf8, i);
    std::size_t outLen = 0;
    if (n == 0) {
      buf[0] = '?';
      outLen = 1;
      ++r.replaced;
      n = 1;
    } else if (n == 1) {
      buf[0] = utf8[i];
      outLen = 1;
    } else if (cd == reinterpret_cast<iconv_t>(-1)) {
      buf[0] = '?';
      outLen = 1;
      ++r.replaced;
    } else {
      char* in = const_cast<char*>(utf8.data() + i);
      std::size_t inLeft = n;
      char* out = buf;
      std::size_t outLeft = sizeof buf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
        buf[0] = '?';
        outLen = 1;
        ++r.replaced;
      } else {
        // Flush any shift state (none of the ANSI pages has one, but be safe).
        iconv(cd, nullptr, nullptr, &out, &outLeft);
        outLen = sizeof buf - outLeft;
      }
    }
    if (r.bytes.size() + outLen > maxBytes) {
      r.truncated = true;
      break;
    }
    r.bytes.append(buf, outLen);
    i += n;
  }
  return r;
}

std::string ToUtf8(std::string_view bytes, int codePage) {
  if (IsAscii(bytes)) return std::string(bytes);
  auto& conv = Converters::Instance();
  std::lock_guard lock(conv.mutex);
  iconv_t cd = conv.Get("UTF-8", IconvName(codePage));
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (unsigned char c : bytes) AppendUtf8(out, c < 0x80 ? c : kReplacement);
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // Room for every byte as a 4-byte character; a byte that is no character
  // takes the 3 bytes of U+FFFD in place, so the buffer is sized once and
  // each byte of input is looked at a bounded number of times.
  out.resize(bytes.size() * 4 + 16);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outp = out.data();
  std::size_t outLeft = out.size();
  auto grow = [&] {
    const std::size_t used = out.size() - outLeft;
    out.resize(out.size() * 2);
    outp = out.data() + used;
    outLeft = out.size() - used;
  };
  // iconv is handed a window of the input at a time, so that no call (nor a
  // checker wrapped around it) looks at more than a window however many
  // bytes are rejected.
  constexpr std::size_t kWindow = 4096;
  while (inLeft > 0) {
    std::size_t window = std::min(inLeft, kWindow);
    const std::size_t before = window;
    const bool last = window == inLeft;
    const std::size_t r = iconv(cd, &in, &window, &outp, &outLeft);
    inLeft -= before - window;
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {  // cannot happen with 4 bytes per input byte, but never overrun
      grow();
      continue;
    }
    // A character cut by the window's end: the next window starts with it.
    if (errno == EINVAL && !last && window < before) continue;
    // EILSEQ or EINVAL: one bad byte (or a cut double-byte lead) becomes U+FFFD.
    if (outLeft < 3) grow();
    static constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";
    std::memcpy(outp, kReplacementUtf8, 3);
    outp += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string Utf16leToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t units = s.size() / 2;
  auto unit = [&](std::size_t k) -> char16_t {
    return static_cast<char16_t>(static_cast<unsigned char>(s[2 * k]) |
                                 (static_cast<unsigned char>(s[2 * k + 1]) << 8));
  };
  for (std::size_t k = 0; k < units; ++k) {
    char16_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (k + 1 < units) {
        char16_t lo = unit(k + 1);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (lo - 0xDC00));
          ++k;
          continue;
        }
      }
      AppendUtf8(out, kReplacement);
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  if (s.size() % 2) AppendUtf8(out, kReplacement);
  return out;
}

std::string Utf8ToUtf16le(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < s.size();) {
    char32_t v;
    std::size_t n = Utf8SequenceLength(s, i, &v);
    if (n == 0) {
      v = kReplacement;
      n = 1;
    }
    if (v >= 0x10000) {
      v -= 0x10000;
      put(static_cast<char16_t>(0xD800 + (v >> 10)));
      put(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      put(static_cast<char16_t>(v));
    }
    i += n;
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace codepage

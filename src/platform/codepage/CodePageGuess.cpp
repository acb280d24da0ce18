#include "CodePageGuess.h"

#include <cctype>
#include <cstdlib>

#include "CodePage.h"

#if defined(ADDRIVO_HAVE_UCHARDET)
#include <uchardet/uchardet.h>
#endif

namespace codepage {

int CodePageOfCharset(std::string_view raw) {
  std::string name;
  for (char c : raw) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto numberAfter = [&](std::string_view prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) return 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
      if (name[i] < '0' || name[i] > '9') return 0;
    return std::atoi(name.c_str() + prefix.size());
  };
  if (const int n = numberAfter("WINDOWS-"); n >= 874) return n;
  if (const int n = numberAfter("ISO-8859-"); n >= 1 && n <= 16) return 28590 + n;
  if (const int n = numberAfter("IBM"); n > 0) return n;
  if (const int n = numberAfter("CP"); n > 0) return n;
  static const struct {
    const char* name;
    int codePage;
  } kNamed[] = {{"KOI8-R", 20866},       {"KOI8-U", 21866},   {"SHIFT_JIS", 932}, {"EUC-JP", 20932},
                {"GB18030", 54936},      {"BIG5", 950},       {"EUC-KR", 949},    {"UHC", 949},
                {"EUC-TW", 51950},       {"MAC-CYRILLIC", 10007}, {"MACCYRILLIC", 10007},
                {"ISO-2022-JP", 50220},  {"TIS-620", 874},    {"VISCII", 1258},   {"HZ-GB-2312", 52936}};
  for (const auto& n : kNamed)
    if (name == n.name) return n.codePage;
  return 0;
}

bool ReadAlike(std::string_view bytes, int a, int b) {
  return a == b || ToUtf8(bytes, a) == ToUtf8(bytes, b);
}

std::optional<Guess> GuessCodePage(std::string_view bytes) {
#if defined(ADDRIVO_HAVE_UCHARDET)
  uchardet_t detector = uchardet_new();
  if (!detector) return std::nullopt;
  const bool fed = uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0;
  uchardet_data_end(detector);
  const std::string charset = fed && uchardet_get_charset(detector) ? uchardet_get_charset(detector) : "";
  uchardet_delete(detector);
  const int page = CodePageOfCharset(charset);
  if (page == 0 || !IsSupported(page)) return std::nullopt;
  return Guess{page, charset};
#else
  (void)bytes;
  return std::nullopt;
#endif
}

}  // namespace codepage

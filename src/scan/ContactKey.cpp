#include "ContactKey.h"

#include <cstdio>
#include <string_view>

#include "TreeModel.h"
#include "platform/os/Os.h"

namespace scan {
namespace {

// The base letter of each precomposed Latin letter whose canonical
// decomposition starts with one ('.' for none): U+00C0 to U+024F, then
// U+1E00 to U+1EFF (Unicode's UnicodeData.txt, decompositions followed down
// to their first character). Compatibility forms (ﬁ, ſ, ĳ) are no letters
// of a group, as Ł and Ø, which do not decompose.
constexpr std::string_view kLatinBase00C0 =
    "AAAAAA.CEEEEIIII.NOOOOO..UUUUY..AAAAAA.CEEEEIIII.NOOOOO..UUUUY.Y"
    "AAAAAACCCCCCCCDD..EEEEEEEEEEGGGGGGGGHH..IIIIIIIII...JJKK.LLLLLL."
    "...NNNNNN...OOOOOO..RRRRRRSSSSSSSSTTTT..UUUUUUUUUUUUWWYYYZZZZZZ."
    "................................OO.............UU..............."
    ".............AAIIOOUUUUUUUUUU.AAAA....GGKKOOOO..J...GG..NNAA...."
    "AAAAEEEEIIIIOOOORRRRUUUUSSTT..HH......AAEEOOOOOOOOYY............"
    "................";
constexpr std::string_view kLatinBase1E00 =
    "AABBBBBBCCDDDDDDDDDDEEEEEEEEEEFFGGHHHHHHHHHHIIIIKKKKKKLLLLLLLLMM"
    "MMMMNNNNNNNNOOOOOOOOPPPPRRRRRRRRSSSSSSSSSSTTTTTTTTUUUUUUUUUUVVVV"
    "WWWWWWWWWWXXXXYYZZZZZZHTWY......AAAAAAAAAAAAAAAAAAAAAAAAEEEEEEEE"
    "EEEEEEEEIIIIOOOOOOOOOOOOOOOOOOOOOOOOUUUUUUUUUUUUUUYYYYYYYY......";

// The first character of UTF-8 text; 0xFFFD when it is no valid UTF-8.
char32_t FirstCodePoint(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  const unsigned char c = b(0);
  if (c < 0x80) return c;
  int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (more < 0 || s.size() <= static_cast<std::size_t>(more)) return 0xFFFD;
  char32_t cp = c & (0x3F >> more);
  for (int i = 1; i <= more; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (b(i) & 0x3F);
  }
  return cp;
}

char LatinBase(char32_t cp) {
  if ((cp >= 'A' && cp <= 'Z')) return static_cast<char>(cp);
  if (cp >= 'a' && cp <= 'z') return static_cast<char>(cp - 'a' + 'A');
  if (cp >= 0xC0 && cp < 0xC0 + kLatinBase00C0.size()) return kLatinBase00C0[cp - 0xC0];
  if (cp >= 0x1E00 && cp < 0x1E00 + kLatinBase1E00.size()) return kLatinBase1E00[cp - 0x1E00];
  return '.';
}

}  // namespace

std::string ContactKey(std::int32_t index, const std::tm& when) {
  char date[48];
  std::snprintf(date, sizeof date, "%d-%d-%02d-%02d-%02d-%02d", when.tm_mday, when.tm_mon + 1,
                (when.tm_year + 1900) % 100, when.tm_hour, when.tm_min, when.tm_sec);
  return std::to_string(index) + date;
}

std::string ContactKeyClock::KeyNow(std::int32_t index) {
  const std::time_t second = std::time(nullptr);
  if (second != second_) {
    second_ = second;
    dateText_ = ContactKey(0, os::LocalTime(second)).substr(1);
  }
  return std::to_string(index) + dateText_;
}

std::string TrimSpaces(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::string GroupKeyFor(const std::string& name) {
  const char base = LatinBase(FirstCodePoint(TrimSpaces(name)));
  return base == '.' ? std::string(kOtherGroupKey) : std::string(1, base);
}

}  // namespace scan

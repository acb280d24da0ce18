// Every text conversion takes time in proportion to its input: a megabyte of
// the worst bytes for each finishes well inside a generous bound that only a
// quadratic path (a buffer refilled per rejected byte) would pass.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "platform/codepage/CodePage.h"

namespace {

constexpr std::size_t kMegabyte = 1 << 20;
constexpr auto kBound = std::chrono::seconds(2);

struct TimedCase {
  const char* name;
  // Runs the conversion on its megabyte; returns a size to check it ran.
  std::function<std::size_t()> run;
  std::size_t expectedAtLeast;
};
void PrintTo(const TimedCase& c, std::ostream* os) { *os << c.name; }

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string s;
  s.reserve(bytes + unit.size());
  while (s.size() < bytes) s += unit;
  return s;
}

const TimedCase kCases[] = {
    // 0x81 is undefined in 1252: every byte is rejected and replaced.
    {"UndefinedBytesIn1252", [] { return codepage::ToUtf8(std::string(kMegabyte, '\x81'), 1252).size(); },
     3 * kMegabyte},
    // 0xFF is neither a character nor a lead byte in 932.
    {"StrayBytesIn932", [] { return codepage::ToUtf8(std::string(kMegabyte, '\xFF'), 932).size(); },
     3 * kMegabyte},
    // A lead byte followed by ASCII: each one is a cut double-byte character.
    {"CutLeadBytesIn932", [] { return codepage::ToUtf8(Repeat("\x81" "a", kMegabyte), 932).size(); },
     kMegabyte},
    {"CharactersThePageLacks",
     [] { return codepage::FromUtf8(Repeat("\xE3\x81\x82", kMegabyte), 1252).replaced; }, kMegabyte / 3},
    {"MalformedUtf8", [] { return codepage::FromUtf8(std::string(kMegabyte, '\xC3'), 1252).replaced; }, kMegabyte},
    {"UnpairedSurrogates", [] { return codepage::Utf16leToUtf8(Repeat(std::string("\x00\xD8", 2), kMegabyte)).size(); },
     kMegabyte},
};

class LinearTime : public ::testing::TestWithParam<TimedCase> {};

TEST_P(LinearTime, AMegabyteTakesLessThanTwoSeconds) {
  const auto start = std::chrono::steady_clock::now();
  const std::size_t size = GetParam().run();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(size, GetParam().expectedAtLeast);
  EXPECT_LT(took, kBound) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

INSTANTIATE_TEST_SUITE_P(Conversions, LinearTime, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

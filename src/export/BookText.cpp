#include "BookText.h"

#include <chrono>

#include <cstdio>
#include <ctime>

namespace exports {
namespace {

std::string Joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

// Two FNV-1a sums over the same bytes, from different starting values, in
// one pass.
struct Fnv2 {
  std::uint64_t a = 0xcbf29ce484222325ULL, b = 0x84222325cbf29ce4ULL;
  void Add(std::string_view bytes) {
    for (unsigned char c : bytes) {
      a = (a ^ c) * 0x100000001b3ULL;
      b = (b ^ c) * 0x100000001b3ULL;
    }
    // A separator, so that "ab"+"c" and "a"+"bc" differ.
    a = (a ^ 0x100) * 0x100000001b3ULL;
    b = (b ^ 0x100) * 0x100000001b3ULL;
  }
};

// A 64-bit finaliser (splitmix64) so that near inputs differ in every bit.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

std::string FormattedName(const wab::Contact& c) {
  if (!c.displayName.empty()) return c.displayName;
  std::string name = Joined(c[wab::Field::GivenName], c[wab::Field::Surname]);
  if (!name.empty()) return name;
  if (!c[wab::Field::Company].empty()) return c[wab::Field::Company];
  // The default address first, then any (the model's lookups are not
  // needed for this and stay out of the writers).
  for (const auto& e : c.emails)
    if (e.isDefault && !e.address.empty()) return e.address;
  for (const auto& e : c.emails)
    if (!e.address.empty()) return e.address;
  if (!c[wab::Field::Nickname].empty()) return c[wab::Field::Nickname];
  return "(no name)";
}

std::vector<const wab::EmailAddress*> EmailsDefaultFirst(const wab::Contact& c) {
  std::vector<const wab::EmailAddress*> out;
  out.reserve(c.emails.size());
  for (const auto& e : c.emails)
    if (e.isDefault) out.push_back(&e);
  for (const auto& e : c.emails)
    if (!e.isDefault) out.push_back(&e);
  return out;
}

std::string StableUuid(const wab::Contact& c, bool isGroup) {
  Fnv2 sum;
  sum.Add(isGroup ? "group" : "contact");
  sum.Add(std::to_string(c.id));
  sum.Add(c.displayName);
  sum.Add(c[wab::Field::GivenName]);
  sum.Add(c[wab::Field::Surname]);
  for (const auto& e : c.emails) sum.Add(e.address);
  const std::uint64_t hi = Mix(sum.a);
  std::uint64_t lo = Mix(sum.b ^ hi);
  std::uint64_t h = hi;
  // Version 8 (custom) in the time_hi field, the RFC 4122 variant bits.
  h = (h & ~0xF000ULL) | 0x8000ULL;
  lo = (lo & ~(0xC0ULL << 56)) | (0x80ULL << 56);
  // 8-4-4-4-12 hexadecimal digits.
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(36, '-');
  std::size_t at = 0;
  auto put = [&](std::uint64_t bits, int digits) {
    for (int i = digits - 1; i >= 0; --i) text[at++] = kHex[(bits >> (4 * i)) & 0xF];
  };
  put(h >> 32, 8);
  ++at;
  put(h >> 16, 4);
  ++at;
  put(h, 4);
  ++at;
  put(lo >> 48, 4);
  ++at;
  put(lo, 12);
  return text;
}

bool IsCalendarDate(const wab::Date& d) {
  if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.day > kDays[d.month - 1]) return false;
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  return !(d.month == 2 && d.day == 29 && !leap);
}

std::string IsoDate(const wab::Date& d) {
  if (!IsCalendarDate(d)) return {};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

std::string IsoDateBasic(const wab::Date& d) {
  if (!IsCalendarDate(d)) return {};
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
  return text;
}

std::string IsoTimestamp(std::int64_t seconds, bool basic) {
  // The calendar's arithmetic rather than the C library's, which on some
  // systems refuses times before 1970.
  using namespace std::chrono;
  constexpr std::int64_t kLimit = 365LL * 24 * 3600 * 30000;  // the years chrono's calendar holds
  if (seconds > kLimit || seconds < -kLimit) return {};
  const sys_seconds at{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(at);
  const year_month_day ymd{day};
  const hh_mm_ss<std::chrono::seconds> time{at - day};
  char text[40];
  std::snprintf(text, sizeof text, basic ? "%04d%02u%02uT%02d%02d%02dZ" : "%04d-%02u-%02uT%02d:%02d:%02dZ",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string UnixLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

BookIndex::BookIndex(const wab::Book& book) {
  for (const auto& g : book.groups) {
    groups_.emplace(g.id, &g);
    for (const auto& m : g.members)
      if (m.kind == wab::Member::Kind::Record) members_.emplace(m.id, std::nullopt);
  }
  for (const auto& c : book.contacts) Note(c);
}

void BookIndex::Note(const wab::Contact& c) {
  auto it = members_.find(c.id);
  // The first contact of an id wins, as lookups in a held book find it.
  if (it == members_.end() || it->second) return;
  const auto emails = EmailsDefaultFirst(c);
  it->second = MemberContact{FormattedName(c), emails.empty() ? std::string() : emails.front()->address,
                             StableUuid(c, false)};
}

const BookIndex::MemberContact* BookIndex::Contact(std::uint32_t id) const {
  auto it = members_.find(id);
  return it == members_.end() || !it->second ? nullptr : &*it->second;
}

const wab::Group* BookIndex::Group(std::uint32_t id) const {
  auto it = groups_.find(id);
  return it == groups_.end() ? nullptr : it->second;
}

std::vector<std::string> BookIndex::GroupNames(const wab::Contact& contact) const {
  std::vector<std::string> names;
  for (std::uint32_t id : contact.groups)
    if (const wab::Group* g = Group(id)) names.push_back(FormattedName(*g));
  return names;
}

}  // namespace exports

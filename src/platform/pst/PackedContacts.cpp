#include "platform/pst/PackedContacts.h"

#include <cstring>

#include "platform/os/Os.h"

namespace pst::detail {
namespace {

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// Contact holds the listed fields and nothing else.
static_assert(sizeof(Contact) ==
                  RoundUp(kContactFields.size() * sizeof(std::string) +
                              kContactLists.size() * sizeof(std::vector<std::string>) + sizeof(int) +
                              2 * sizeof(CalendarDate),
                          alignof(Contact)),
              "every field of Contact must be listed in kContactFields, kContactLists or the numbers");
static_assert(sizeof(CalendarDate) == 3 * sizeof(int), "a date is three whole numbers");

// A contact is packed as a mask of what it holds, then only that: each text
// and list that is not empty with its length, the gender when not 0 and each
// date that is set. Lengths take one byte below 128: most fields are short
// and many are empty, so a contact costs little beyond its text.
constexpr unsigned kListBit = kContactFields.size();
constexpr unsigned kGenderBit = kListBit + kContactLists.size();
constexpr unsigned kBirthdayBit = kGenderBit + 1, kAnniversaryBit = kGenderBit + 2;
static_assert(kAnniversaryBit < 64, "the mask has a bit for every part of a contact");
constexpr std::size_t kMaskBytes = 8;
constexpr std::size_t kDateBytes = 3 * sizeof(std::int32_t);

std::size_t LengthBytes(std::size_t n) {
  std::size_t b = 1;
  while (n >= 0x80) {
    n >>= 7;
    ++b;
  }
  return b;
}

void PutLength(char*& p, std::size_t n) {
  while (n >= 0x80) {
    *p++ = static_cast<char>((n & 0x7F) | 0x80);
    n >>= 7;
  }
  *p++ = static_cast<char>(n);
}

std::size_t GetLength(const char*& p) {
  std::size_t n = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto b = static_cast<unsigned char>(*p++);
    n |= static_cast<std::size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return n;
  }
}

void PutText(char*& p, const std::string& s) {
  PutLength(p, s.size());
  std::memcpy(p, s.data(), s.size());
  p += s.size();
}

void GetText(const char*& p, std::string& s) {
  const std::size_t n = GetLength(p);
  s.assign(p, n);
  p += n;
}

bool IsSet(const CalendarDate& d) { return d.year || d.month || d.day; }

void PutDate(char*& p, const CalendarDate& d) {
  const std::int32_t v[3] = {d.year, d.month, d.day};
  std::memcpy(p, v, kDateBytes);
  p += kDateBytes;
}

CalendarDate GetDate(const char*& p) {
  std::int32_t v[3];
  std::memcpy(v, p, kDateBytes);
  p += kDateBytes;
  return {v[0], v[1], v[2]};
}

}  // namespace

void PackedContacts::Add(const Contact& c) {
  std::uint64_t mask = 0;
  std::size_t need = kMaskBytes;
  for (unsigned i = 0; i < kContactFields.size(); ++i) {
    const std::string& s = c.*kContactFields[i];
    if (s.empty()) continue;
    mask |= std::uint64_t{1} << i;
    need += LengthBytes(s.size()) + s.size();
  }
  for (unsigned i = 0; i < kContactLists.size(); ++i) {
    const auto& items = c.*kContactLists[i];
    if (items.empty()) continue;
    mask |= std::uint64_t{1} << (kListBit + i);
    need += LengthBytes(items.size());
    for (const auto& s : items) need += LengthBytes(s.size()) + s.size();
  }
  if (c.Gender) {
    mask |= std::uint64_t{1} << kGenderBit;
    need += sizeof(std::int32_t);
  }
  if (IsSet(c.Birthday)) {
    mask |= std::uint64_t{1} << kBirthdayBit;
    need += kDateBytes;
  }
  if (IsSet(c.Anniversary)) {
    mask |= std::uint64_t{1} << kAnniversaryBit;
    need += kDateBytes;
  }
  if (used_ + need > lastSize_) {
    // A contact larger than a chunk gets a chunk of its own size.
    lastSize_ = need > kChunk ? need : kChunk;
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(lastSize_));
    // Filled once, front to back, while the store grows: few faults for many contacts.
    os::PreferHugePages(chunks_.back().get(), lastSize_);
    used_ = 0;
  }
  char* p = chunks_.back().get() + used_;
  where_.push_back({static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(used_)});
  std::memcpy(p, &mask, kMaskBytes);
  p += kMaskBytes;
  for (unsigned i = 0; i < kContactFields.size(); ++i)
    if (mask >> i & 1) PutText(p, c.*kContactFields[i]);
  for (unsigned i = 0; i < kContactLists.size(); ++i) {
    if (!(mask >> (kListBit + i) & 1)) continue;
    const auto& items = c.*kContactLists[i];
    PutLength(p, items.size());
    for (const auto& s : items) PutText(p, s);
  }
  if (c.Gender) {
    const std::int32_t g = c.Gender;
    std::memcpy(p, &g, sizeof g);
    p += sizeof g;
  }
  if (IsSet(c.Birthday)) PutDate(p, c.Birthday);
  if (IsSet(c.Anniversary)) PutDate(p, c.Anniversary);
  used_ += need;
}

void PackedContacts::Unpack(std::size_t i, Contact& out) const {
  const Place at = where_[i];
  const char* p = chunks_[at.chunk].get() + at.offset;
  std::uint64_t mask = 0;
  std::memcpy(&mask, p, kMaskBytes);
  p += kMaskBytes;
  for (unsigned f = 0; f < kContactFields.size(); ++f) {
    std::string& s = out.*kContactFields[f];
    if (mask >> f & 1) GetText(p, s);
    else s.clear();
  }
  for (unsigned l = 0; l < kContactLists.size(); ++l) {
    auto& items = out.*kContactLists[l];
    if (!(mask >> (kListBit + l) & 1)) {
      items.clear();
      continue;
    }
    items.resize(GetLength(p));
    for (auto& s : items) GetText(p, s);
  }
  out.Gender = 0;
  if (mask >> kGenderBit & 1) {
    std::int32_t g = 0;
    std::memcpy(&g, p, sizeof g);
    p += sizeof g;
    out.Gender = g;
  }
  out.Birthday = mask >> kBirthdayBit & 1 ? GetDate(p) : CalendarDate{};
  out.Anniversary = mask >> kAnniversaryBit & 1 ? GetDate(p) : CalendarDate{};
}

}  // namespace pst::detail

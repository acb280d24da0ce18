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

constexpr std::size_t kLengthBytes = 4;

std::array<std::int32_t, kContactNumbers> NumbersOf(const Contact& c) {
  return {c.Gender,          c.Birthday.year,    c.Birthday.month, c.Birthday.day,
          c.Anniversary.year, c.Anniversary.month, c.Anniversary.day};
}

void PutText(char*& p, const std::string& s) {
  const auto n = static_cast<std::uint32_t>(s.size());
  std::memcpy(p, &n, kLengthBytes);
  std::memcpy(p + kLengthBytes, s.data(), n);
  p += kLengthBytes + n;
}

void GetText(const char*& p, std::string& s) {
  std::uint32_t n = 0;
  std::memcpy(&n, p, kLengthBytes);
  s.assign(p + kLengthBytes, n);
  p += kLengthBytes + n;
}

}  // namespace

void PackedContacts::Add(const Contact& c) {
  std::size_t need = kContactNumbers * sizeof(std::int32_t);
  for (auto field : kContactFields) need += kLengthBytes + (c.*field).size();
  for (auto list : kContactLists) {
    need += kLengthBytes;
    for (const auto& s : c.*list) need += kLengthBytes + s.size();
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
  for (auto field : kContactFields) PutText(p, c.*field);
  for (auto list : kContactLists) {
    const auto n = static_cast<std::uint32_t>((c.*list).size());
    std::memcpy(p, &n, kLengthBytes);
    p += kLengthBytes;
    for (const auto& s : c.*list) PutText(p, s);
  }
  const auto numbers = NumbersOf(c);
  std::memcpy(p, numbers.data(), sizeof numbers);
  used_ += need;
}

void PackedContacts::Unpack(std::size_t i, Contact& out) const {
  const Place at = where_[i];
  const char* p = chunks_[at.chunk].get() + at.offset;
  for (auto field : kContactFields) GetText(p, out.*field);
  for (auto list : kContactLists) {
    std::uint32_t n = 0;
    std::memcpy(&n, p, kLengthBytes);
    p += kLengthBytes;
    auto& items = out.*list;
    items.resize(n);
    for (auto& s : items) GetText(p, s);
  }
  std::array<std::int32_t, kContactNumbers> numbers{};
  std::memcpy(numbers.data(), p, sizeof numbers);
  out.Gender = numbers[0];
  out.Birthday = {numbers[1], numbers[2], numbers[3]};
  out.Anniversary = {numbers[4], numbers[5], numbers[6]};
}

}  // namespace pst::detail

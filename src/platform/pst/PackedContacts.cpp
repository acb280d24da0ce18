#include "platform/pst/PackedContacts.h"

#include <cstring>

namespace pst::detail {
namespace {

// Contact holds the listed strings and nothing else.
static_assert(sizeof(Contact) == kContactFields.size() * sizeof(std::string),
              "every field of Contact must be listed in kContactFields");

constexpr std::size_t kLengthBytes = 4;

}  // namespace

void PackedContacts::Add(const Contact& c) {
  std::size_t need = 0;
  for (auto field : kContactFields) need += kLengthBytes + (c.*field).size();
  if (used_ + need > lastSize_) {
    // A contact larger than a chunk gets a chunk of its own size.
    lastSize_ = need > kChunk ? need : kChunk;
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(lastSize_));
    used_ = 0;
  }
  char* p = chunks_.back().get() + used_;
  where_.push_back({static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(used_)});
  for (auto field : kContactFields) {
    const std::string& s = c.*field;
    const auto n = static_cast<std::uint32_t>(s.size());
    std::memcpy(p, &n, kLengthBytes);
    std::memcpy(p + kLengthBytes, s.data(), n);
    p += kLengthBytes + n;
  }
  used_ += need;
}

void PackedContacts::Unpack(std::size_t i, Contact& out) const {
  const Place at = where_[i];
  const char* p = chunks_[at.chunk].get() + at.offset;
  for (auto field : kContactFields) {
    std::uint32_t n = 0;
    std::memcpy(&n, p, kLengthBytes);
    (out.*field).assign(p + kLengthBytes, n);
    p += kLengthBytes + n;
  }
}

}  // namespace pst::detail

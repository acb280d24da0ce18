#include "BookBytes.h"

namespace wab {

BookBytes::BookBytes(std::string bytes) : owned_(std::make_unique<std::string>(std::move(bytes))) {
  data_ = owned_->data();
  size_ = owned_->size();
}

BookBytes::~BookBytes() = default;

BookBytes::BookBytes(BookBytes&& other) noexcept { *this = std::move(other); }

BookBytes& BookBytes::operator=(BookBytes&& other) noexcept {
  if (this == &other) return *this;
  map_ = std::move(other.map_);
  owned_ = std::move(other.owned_);
  data_ = other.data_;
  size_ = other.size_;
  other.data_ = nullptr;
  other.size_ = 0;
  return *this;
}

BookBytes BookBytes::Map(int fd, std::size_t size) {
  BookBytes b;
  b.map_ = os::FileMap::Map(fd, size);
  if (b.map_.Valid()) {
    b.data_ = b.map_.data();
    b.size_ = b.map_.size();
  }
  return b;
}

bool BookBytes::Intact() const { return map_.Intact(); }

void BookBytes::Release() const { map_.Release(); }

}  // namespace wab

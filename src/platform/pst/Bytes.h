// Little-endian byte helpers shared by every layer of the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/os/LittleEndian.h"

namespace pst::detail {

using Bytes = std::vector<std::uint8_t>;

// The pst layer's spelling of the program's one little-endian helper.
inline void Put16(std::uint8_t* p, std::uint16_t v) { le::Put16(p, v); }
inline void Put32(std::uint8_t* p, std::uint32_t v) { le::Put32(p, v); }
inline void Put64(std::uint8_t* p, std::uint64_t v) { le::Put64(p, v); }
inline std::uint16_t Get16(const std::uint8_t* p) { return le::Get16(p); }
inline std::uint32_t Get32(const std::uint8_t* p) { return le::Get32(p); }
inline std::uint64_t Get64(const std::uint8_t* p) { return le::Get64(p); }

inline void Append16(Bytes& b, std::uint16_t v) {
  std::size_t n = b.size();
  b.resize(n + 2);
  Put16(b.data() + n, v);
}
inline void Append32(Bytes& b, std::uint32_t v) {
  std::size_t n = b.size();
  b.resize(n + 4);
  Put32(b.data() + n, v);
}
inline void Append64(Bytes& b, std::uint64_t v) {
  std::size_t n = b.size();
  b.resize(n + 8);
  Put64(b.data() + n, v);
}
inline void AppendBytes(Bytes& b, const void* p, std::size_t n) {
  const auto* s = static_cast<const std::uint8_t*>(p);
  b.insert(b.end(), s, s + n);
}
inline void AppendBytes(Bytes& b, std::string_view s) { AppendBytes(b, s.data(), s.size()); }

inline Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Bytes gathered for a moment, many small pieces at a time: growing it does
// not clear the new bytes (the caller writes them), and appending stays
// inline unless the buffer must grow, which a vector's insert does not.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer& o) { Append(o.data(), o.size()); }
  ByteBuffer& operator=(const ByteBuffer& o) {
    if (this != &o) {
      size_ = 0;
      Append(o.data(), o.size());
    }
    return *this;
  }
  ByteBuffer(ByteBuffer&& o) noexcept
      : p_(std::move(o.p_)), size_(std::exchange(o.size_, 0)), cap_(std::exchange(o.cap_, 0)) {}
  ByteBuffer& operator=(ByteBuffer&& o) noexcept {
    p_ = std::move(o.p_);
    size_ = std::exchange(o.size_, 0);
    cap_ = std::exchange(o.cap_, 0);
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::uint8_t* data() { return p_.get(); }
  const std::uint8_t* data() const { return p_.get(); }
  void clear() { size_ = 0; }
  void reserve(std::size_t n) {
    if (n > cap_) Regrow(n);
  }
  // Bytes beyond the old size are left unspecified.
  void resize(std::size_t n) {
    if (n > cap_) Regrow(std::max(n, 2 * cap_));
    size_ = n;
  }
  void Append(const void* p, std::size_t n) {
    if (n == 0) return;
    const std::size_t at = size_;
    resize(at + n);
    std::memcpy(p_.get() + at, p, n);
  }

 private:
  void Regrow(std::size_t cap) {
    auto bigger = std::make_unique_for_overwrite<std::uint8_t[]>(cap);
    if (size_) std::memcpy(bigger.get(), p_.get(), size_);
    p_ = std::move(bigger);
    cap_ = cap;
  }
  std::unique_ptr<std::uint8_t[]> p_;
  std::size_t size_ = 0, cap_ = 0;
};

}  // namespace pst::detail

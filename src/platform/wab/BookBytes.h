// The bytes of one address book, held in one of two ways:
//
// - Mapped: the file mapped read-only. Opening a book then costs neither a
//   copy nor zero-filled memory, and the pages stay the kernel's cache, which
//   Release() hands back while the book is still in use (they are read again
//   from the cache when touched). The cost is the one every mapped reader
//   pays: a file cut short under the program leaves pages without data, and
//   touching one faults. The system layer turns that into zero-filled pages
//   and a flag, so the bytes stay readable to their mapped length, every
//   bounds check made against that length still holds, and Intact() turns
//   false for the caller to report a damaged book. Where the system cannot
//   do that, books are never mapped.
// - Owned: a string in memory (the fuzzer, tests, and files that cannot be
//   mapped). Always intact.
//
// Moving keeps the bytes where they are, so views into them stay valid.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/os/Os.h"

namespace wab {

class BookBytes {
 public:
  BookBytes() = default;
  explicit BookBytes(std::string bytes);
  ~BookBytes();
  BookBytes(BookBytes&& other) noexcept;
  BookBytes& operator=(BookBytes&& other) noexcept;
  BookBytes(const BookBytes&) = delete;
  BookBytes& operator=(const BookBytes&) = delete;

  // Maps size bytes of the open file fd read-only. Returns an empty object
  // (Mapped() false) when the file cannot be mapped, so the caller reads it.
  static BookBytes Map(int fd, std::size_t size);

  std::string_view View() const { return {data_, size_}; }
  bool Mapped() const { return map_.Valid(); }
  // False once a part of a mapped file was found missing (cut short).
  bool Intact() const;
  // Gives the mapped pages back to the kernel; the bytes stay readable.
  // Nothing for owned bytes.
  void Release() const;

 private:
  os::FileMap map_;
  std::unique_ptr<std::string> owned_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace wab

// A buffered output file that appears under its name only when finished.
// Bytes go to a temporary file beside the target; Commit() writes out the
// buffer and renames it over the target. Until then an existing
// file of that name stays untouched, and a failure or an abandoned file
// leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "excel/Value.h"

namespace excel {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file beside target. A status on failure: the
  // folder is missing, the target is a folder, no permission, ...
  Status Open(const std::string& target);

  bool isOpen() const { return fd_ >= 0; }

  // Appends bytes. A write failure is kept and reported by error() and by
  // Commit(); bytes after it are dropped.
  void Append(const void* data, std::size_t n) {
    if (used_ + n <= kBufferSize) {
      std::memcpy(buffer_.get() + used_, data, n);
      used_ += n;
    } else {
      AppendSlow(static_cast<const char*>(data), n);
    }
  }

  // Room for n more bytes (n <= kMaxReserve) at the end of the buffer, to
  // be filled and then taken with Advance. Valid until the next call.
  char* Reserve(std::size_t n) {
    if (used_ + n > kBufferSize) Drain();
    return buffer_.get() + used_;
  }
  void Advance(std::size_t n) { used_ += n; }
  static constexpr std::size_t kMaxReserve = 48 * 1024;

  // The first write failure since Open, or 0.
  Status error() const { return error_; }

  // Finishes the file under the target name. On failure the temporary file
  // is removed and the target left as it was.
  Status Commit();

  // Drops the temporary file; the target stays as it was.
  void Abandon();

  // File-system errno values mapped to the writer's status numbers.
  static Status StatusFromErrno(int err);

 private:
  // Small enough to stay in the processor's cache, large enough that the
  // system calls cost nothing next to the copying.
  static constexpr std::size_t kBufferSize = 64 * 1024;
  void AppendSlow(const char* data, std::size_t n);
  void Drain();
  void WriteOut(const char* data, std::size_t n);

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  Status error_ = 0;
};

}  // namespace excel

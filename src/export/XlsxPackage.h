// The parts of an .xlsx workbook, streamed into a ZIP archive on a file
// descriptor: each part deflated (zlib, raw) as it is written, its local
// header patched with the CRC and sizes afterwards, so no data descriptors
// and no part held in memory. Every entry carries the same fixed time: a
// book written twice, on Linux or on Windows, gives the same bytes.
// Plain C++ over zlib.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

namespace exports {

// Writing the archive failed; what() says why.
class XlsxPackageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ZipPackage {
 public:
  // Writes at fd's current position, which must be the start of an empty file.
  explicit ZipPackage(int fd);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // Starts the next part; the previous one must be finished.
  void Begin(const std::string& name);
  // Appends to the part being written; small pieces are gathered first.
  void Append(std::string_view bytes) {
    text_.append(bytes);
    if (text_.size() >= kTextChunk) Deflate(Z_NO_FLUSH);
  }
  // The part's text gathered so far, to append to directly (then call Spill).
  std::string& text() { return text_; }
  void Spill() {
    if (text_.size() >= kTextChunk) Deflate(Z_NO_FLUSH);
  }
  void End();
  // Writes the central directory; the archive is complete.
  void Finish();

 private:
  static constexpr std::size_t kTextChunk = 256 * 1024;
  struct Entry {
    std::string name;
    std::uint64_t offset = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0, size = 0;
  };
  void Deflate(int flush);
  void Put(const void* data, std::size_t n);
  void PutAt(const void* data, std::size_t n, std::uint64_t offset);
  void Drain();

  int fd_;
  z_stream z_{};
  bool open_ = false;
  std::uint64_t at_ = 0;  // bytes of the archive so far
  std::vector<Entry> entries_;
  std::string text_;
  std::vector<unsigned char> out_;
  std::size_t outUsed_ = 0;
};

// Text for an XML element or attribute value: &, < and > (and ") escaped;
// control characters XML cannot hold, and a literal "_xHHHH_" that readers
// would decode, in the workbook's own "_xHHHH_" escape.
void AppendXmlText(std::string& out, std::string_view text);

// "A", "B", ... "Z", "AA", ... for a column counted from 0.
void AppendColumnName(std::string& out, std::uint32_t col);

// The serial number of a day (1900 date system, with its Feb 29th 1900):
// 1 for 1900-01-01, 61 for 1900-03-01. Years from 1900 to 9999 only.
std::int64_t ExcelDaySerial(int year, int month, int day);

}  // namespace exports

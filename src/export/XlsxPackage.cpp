#include "XlsxPackage.h"

#include <cerrno>
#include <cstring>

#include "platform/os/LittleEndian.h"
#include "platform/os/Os.h"
#include "platform/os/OutputFile.h"
#include "platform/os/Status.h"

namespace exports {
namespace {

// 1980-01-01 00:00 in MS-DOS form: the archive's time is no part of the book.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFu;

// The 30 bytes of a local file header (APPNOTE 4.3.7), name after them.
void LocalHeader(unsigned char* h, std::size_t nameSize, std::uint32_t crc, std::uint32_t packed,
                 std::uint32_t size) {
  le::Put32(h, 0x04034b50);
  le::Put16(h + 4, 20);  // version needed: deflate
  le::Put16(h + 6, 0);   // flags
  le::Put16(h + 8, 8);   // deflated
  le::Put16(h + 10, kDosTime);
  le::Put16(h + 12, kDosDate);
  le::Put32(h + 14, crc);
  le::Put32(h + 18, packed);
  le::Put32(h + 22, size);
  le::Put16(h + 26, static_cast<std::uint16_t>(nameSize));
  le::Put16(h + 28, 0);
}

// The cause in the program's own words ("the disk is full"), as every
// other writer names it.
[[noreturn]] void Fail(const char* what) {
  const int err = errno;
  const excel::Status status = excel::OutputFile::StatusFromErrno(err);
  if (status == status::kPathFileAccess)
    throw XlsxPackageError(std::string(what) + ": " + std::strerror(err));
  throw XlsxPackageError(status::Text(status));
}

}  // namespace

ZipPackage::ZipPackage(int fd) : fd_(fd), out_(256 * 1024) {
  // zlib's default level: files as small as other writers' (level 1 makes
  // them a quarter larger for a third less time).
  if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw XlsxPackageError("the compressor could not be started");
  text_.reserve(kTextChunk + 64 * 1024);
}

ZipPackage::~ZipPackage() { deflateEnd(&z_); }

void ZipPackage::PutAt(const void* data, std::size_t n, std::uint64_t offset) {
  if (offset + n > kZip32Limit) {
    errno = EFBIG;
    Fail("the workbook would be larger than 4 GB");
  }
  if (n && os::WriteAt(fd_, data, n, offset) < 0) Fail("writing the workbook failed");
}

void ZipPackage::Put(const void* data, std::size_t n) {
  PutAt(data, n, at_);
  at_ += n;
}

void ZipPackage::Drain() {
  Put(out_.data(), outUsed_);
  outUsed_ = 0;
}

void ZipPackage::Begin(const std::string& name) {
  Entry e;
  e.name = name;
  e.offset = at_;
  unsigned char h[30];
  LocalHeader(h, name.size(), 0, 0, 0);
  Put(h, sizeof h);
  Put(name.data(), name.size());
  entries_.push_back(std::move(e));
  deflateReset(&z_);
  open_ = true;
}

void ZipPackage::Deflate(int flush) {
  Entry& e = entries_.back();
  e.crc = static_cast<std::uint32_t>(
      crc32_z(e.crc, reinterpret_cast<const Bytef*>(text_.data()), text_.size()));
  e.size += text_.size();
  z_.next_in = reinterpret_cast<Bytef*>(text_.data());
  z_.avail_in = static_cast<uInt>(text_.size());
  for (;;) {
    z_.next_out = out_.data() + outUsed_;
    z_.avail_out = static_cast<uInt>(out_.size() - outUsed_);
    const int r = deflate(&z_, flush);
    outUsed_ = out_.size() - z_.avail_out;
    if (r == Z_STREAM_ERROR) throw XlsxPackageError("the compressor failed");
    if (outUsed_ == out_.size()) {
      Drain();
      continue;
    }
    if (flush == Z_FINISH ? r == Z_STREAM_END : z_.avail_in == 0) break;
  }
  text_.clear();
}

void ZipPackage::End() {
  Deflate(Z_FINISH);
  Drain();
  Entry& e = entries_.back();
  e.packed = at_ - e.offset - 30 - e.name.size();
  unsigned char h[30];
  LocalHeader(h, e.name.size(), e.crc, static_cast<std::uint32_t>(e.packed), static_cast<std::uint32_t>(e.size));
  if (e.size > kZip32Limit) {
    errno = EFBIG;
    Fail("a sheet would be larger than 4 GB");
  }
  PutAt(h, sizeof h, e.offset);
  open_ = false;
}

void ZipPackage::Finish() {
  const std::uint64_t start = at_;
  std::string dir;
  for (const Entry& e : entries_) {
    unsigned char c[46];
    le::Put32(c, 0x02014b50);
    le::Put16(c + 4, 20);  // made by: MS-DOS attributes, version 2.0
    le::Put16(c + 6, 20);
    le::Put16(c + 8, 0);
    le::Put16(c + 10, 8);
    le::Put16(c + 12, kDosTime);
    le::Put16(c + 14, kDosDate);
    le::Put32(c + 16, e.crc);
    le::Put32(c + 20, static_cast<std::uint32_t>(e.packed));
    le::Put32(c + 24, static_cast<std::uint32_t>(e.size));
    le::Put16(c + 28, static_cast<std::uint16_t>(e.name.size()));
    std::memset(c + 30, 0, 12);  // extra, comment, disk, attributes
    le::Put32(c + 42, static_cast<std::uint32_t>(e.offset));
    dir.append(reinterpret_cast<const char*>(c), sizeof c);
    dir += e.name;
  }
  unsigned char end[22];
  le::Put32(end, 0x06054b50);
  le::Put32(end + 4, 0);  // this disk, the directory's disk
  le::Put16(end + 8, static_cast<std::uint16_t>(entries_.size()));
  le::Put16(end + 10, static_cast<std::uint16_t>(entries_.size()));
  le::Put32(end + 12, static_cast<std::uint32_t>(dir.size()));
  le::Put32(end + 16, static_cast<std::uint32_t>(start));
  le::Put16(end + 20, 0);
  dir.append(reinterpret_cast<const char*>(end), sizeof end);
  Put(dir.data(), dir.size());
}

void AppendXmlText(std::string& out, std::string_view text) {
  std::size_t plain = 0;
  auto flush = [&](std::size_t i) { out.append(text.data() + plain, i - plain); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const char* esc = nullptr;
    char code[8];
    switch (c) {
      case '&': esc = "&amp;"; break;
      case '<': esc = "&lt;"; break;
      case '>': esc = "&gt;"; break;
      case '"': esc = "&quot;"; break;
      case '_': {
        // "_x0041_" in a value would read back as "A": its underscore is escaped.
        static constexpr char kHex[] = "0123456789abcdefABCDEF";
        bool looks = i + 6 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && text[i + 6] == '_';
        for (std::size_t k = 2; looks && k < 6; ++k) looks = std::memchr(kHex, text[i + k], 22) != nullptr;
        if (looks) esc = "_x005F_";
        break;
      }
      default:
        if (c < 0x20 && c != '\t' && c != '\n') {
          static constexpr char kDigits[] = "0123456789ABCDEF";
          std::memcpy(code, "_x00", 4);
          code[4] = kDigits[c >> 4];
          code[5] = kDigits[c & 15];
          code[6] = '_';
          code[7] = 0;
          esc = code;
        }
    }
    if (!esc) continue;
    flush(i);
    out += esc;
    plain = i + 1;
  }
  flush(text.size());
}

void AppendColumnName(std::string& out, std::uint32_t col) {
  char name[4];
  int n = 0;
  for (std::uint32_t c = col + 1; c; c = (c - 1) / 26) name[n++] = static_cast<char>('A' + (c - 1) % 26);
  while (n) out += name[--n];
}

std::int64_t ExcelDaySerial(int year, int month, int day) {
  // Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
  auto civil = [](std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
  };
  const std::int64_t serial =
      civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - civil(1899, 12, 30);
  // Before March 1900 the serials count from 1899-12-31: Excel's calendar
  // holds a February 29th 1900.
  return serial < 61 ? serial - 1 : serial;
}

}  // namespace exports

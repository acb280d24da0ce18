#include "excel/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

namespace excel {
namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Status OutputFile::StatusFromErrno(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return 76;              // path not found
    case EACCES: case EPERM: case EROFS: return 70;    // permission denied
    case ENOSPC: case EFBIG: case EDQUOT: return 61;   // disk full
    case EIO: return 57;                               // device I/O error
    case EMFILE: case ENFILE: return 67;               // too many files
    default: return 75;                                // path/file access error
  }
}

Status OutputFile::Open(const std::string& target) {
  Abandon();
  if (target.empty() || target.back() == '/') return StatusFromErrno(ENOENT);
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR);

  // A hidden name beside the target, so the rename stays on one file system.
  static std::atomic<unsigned> counter{0};
  const std::string stem = FolderOf(target) + "." + NameOf(target) + ".";
  auto seed = static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + std::to_string(::getpid()) + "-" +
                            std::to_string(seed ^ counter.fetch_add(1)) + ".tmp";
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temp_ = std::move(candidate);
      target_ = target;
      if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
      used_ = 0;
      error_ = 0;
      return 0;
    }
    if (errno != EEXIST) return StatusFromErrno(errno);
  }
  return StatusFromErrno(EEXIST);
}

void OutputFile::WriteOut(const char* data, std::size_t n) {
  while (n > 0 && error_ == 0) {
    ssize_t w = ::write(fd_, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      error_ = StatusFromErrno(errno);
      return;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
}

void OutputFile::Drain() {
  if (fd_ >= 0) WriteOut(buffer_.get(), used_);
  used_ = 0;  // after a failure the bytes are dropped; error() says so
}

void OutputFile::AppendSlow(const char* data, std::size_t n) {
  if (fd_ < 0 || error_ != 0) return;
  WriteOut(buffer_.get(), used_);
  used_ = 0;
  if (n >= kBufferSize) {
    WriteOut(data, n);
  } else {
    std::memcpy(buffer_.get(), data, n);
    used_ = n;
  }
}

Status OutputFile::Commit() {
  if (fd_ < 0) return StatusFromErrno(EBADF);
  WriteOut(buffer_.get(), used_);
  used_ = 0;
  // No fsync: the rename already means no reader ever sees a partial file,
  // and waiting for the disk took a fifth of a whole export. Surviving a
  // power cut right after the export is left to the file system, as for the
  // .pst files and any plain copy.
  if (::close(fd_) != 0 && error_ == 0) error_ = StatusFromErrno(errno);
  fd_ = -1;
  if (error_ == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0)
    error_ = StatusFromErrno(errno);
  if (error_ != 0) ::unlink(temp_.c_str());
  temp_.clear();
  return error_;
}

void OutputFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temp_.c_str());
  fd_ = -1;
  temp_.clear();
  used_ = 0;
}

}  // namespace excel

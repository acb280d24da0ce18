#include "excel/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/os/Os.h"

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
    case ENOSPC: case EFBIG: return 61;                // disk full
    case EIO: return 57;                               // device I/O error
    case EMFILE: case ENFILE: return 67;               // too many files
    default:                                           // path/file access error
      return err == os::kQuotaExceeded ? 61 : 75;
  }
}

Status OutputFile::Open(const std::string& target) {
  Abandon();
  if (target.empty() || target.back() == '/') return StatusFromErrno(ENOENT);
  if (os::FileInfo st; os::StatPath(target, st) && st.directory) return StatusFromErrno(EISDIR);

  // A hidden name beside the target, so the rename stays on one file system.
  static std::atomic<unsigned> counter{0};
  const std::string stem = FolderOf(target) + "." + NameOf(target) + ".";
  auto seed = static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + std::to_string(os::ProcessId()) + "-" +
                            std::to_string(seed ^ counter.fetch_add(1)) + ".tmp";
    int fd = os::CreateNew(candidate, 0666);
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
  if (n > 0 && error_ == 0 && os::Write(fd_, data, n) < 0) error_ = StatusFromErrno(errno);
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
  if (os::Close(fd_) != 0 && error_ == 0) error_ = StatusFromErrno(errno);
  fd_ = -1;
  if (error_ == 0)
    if (const int err = os::RenameOver(temp_, target_)) error_ = StatusFromErrno(err);
  if (error_ != 0) os::Remove(temp_);
  temp_.clear();
  return error_;
}

void OutputFile::Abandon() {
  if (fd_ < 0) return;
  os::Close(fd_);
  os::Remove(temp_);
  fd_ = -1;
  temp_.clear();
  used_ = 0;
}

}  // namespace excel

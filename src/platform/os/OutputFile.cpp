#include "platform/os/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/os/Os.h"

namespace excel {
namespace {

constexpr const char* kTempPrefix = ".addrivo-";
constexpr const char* kTempSuffix = ".tmp";

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of(os::kSeparators);
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  auto slash = path.find_last_of(os::kSeparators);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int NewFile::Open(const std::string& target, Existing existing, Staging staging) {
  Abandon();
  if (target.empty() || std::strchr(os::kSeparators, target.back())) return ENOENT;
  if (NameOf(target).size() > kMaxName) return ENAMETOOLONG;
  if (os::FileInfo st; os::StatPath(target, st) && st.directory) return EISDIR;
  target_ = target;
  folder_ = FolderOf(target);
  existing_ = existing;
  os::RemoveStaleTemporaries(folder_, kTempPrefix, kTempSuffix);

  // A file with no name can never be left behind, whatever happens to us.
  int fd = -1;
  if (staging == Staging::Unnamed) {
    fd = os::OpenUnnamed(folder_);
    if (fd >= 0) {
      fd_ = fd;
      unnamed_ = true;
      return 0;
    }
    // Only "not supported here" falls back to a named file; a missing folder
    // or no permission is the answer.
    if (errno != EOPNOTSUPP) return errno;
  }

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder_ + kTempPrefix + std::to_string(os::ProcessId()) + "-" +
                            std::to_string(counter.fetch_add(1)) + kTempSuffix;
    fd = os::CreateNew(candidate, 0666);
    if (fd >= 0) {
      fd_ = fd;
      unnamed_ = false;
      temp_ = std::move(candidate);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int NewFile::LinkUnder(const std::string& name) { return os::LinkUnnamed(fd_, name); }

int NewFile::Commit() {
  if (fd_ < 0) return EBADF;
  int err = 0;
  const bool replaces = existing_ != Existing::Keep;
  const bool syncs = existing_ == Existing::Replace;
  // What replaces unsynced goes in as a new file where the old one was.
  if (existing_ == Existing::ReplaceUnsynced && os::Exists(target_)) os::Remove(target_);
  bool replacing = replaces && os::Exists(target_);
  // Only a replaced file needs to reach the disk before its name does:
  // otherwise a crash could leave an empty file where the user's was.
  if (replacing && syncs) err = os::Flush(fd_);

  if (err == 0 && unnamed_) {
    if (!replacing) {
      err = LinkUnder(target_);  // never replaces: EEXIST when taken
      if (err == EEXIST && replaces) {  // appeared meanwhile
        replacing = true;
        if (syncs) err = os::Flush(fd_);
      }
    }
    // To replace, the file gets a hidden name first and is renamed over the
    // target: no moment without a file under the target's name.
    if (err == 0 && replacing) {
      static std::atomic<unsigned> counter{0};
      for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder_ + kTempPrefix + std::to_string(os::ProcessId()) + "-u" +
                std::to_string(counter.fetch_add(1)) + kTempSuffix;
        err = LinkUnder(temp_);
        if (err != EEXIST) break;
      }
      if (err != 0) temp_.clear();
    }
  }
  // Closed before the rename: some systems rename no file that is open.
  if (os::Close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  if (err == 0 && !temp_.empty())
    err = replaces ? os::RenameOver(temp_, target_) : os::RenameNoReplace(temp_, target_);
  if (err != 0 && !temp_.empty()) os::Remove(temp_);
  temp_.clear();
  if (err == 0 && replacing && syncs) os::SyncFolder(folder_);
  return err;
}

void NewFile::Abandon() {
  if (fd_ < 0) return;
  os::Close(fd_);
  if (!temp_.empty()) os::Remove(temp_);
  fd_ = -1;
  temp_.clear();
}

Status OutputFile::StatusFromErrno(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return 76;              // path not found
    case EACCES: case EPERM: return 70;                // permission denied
    case EROFS: return 77;                             // read-only file system (the program's own number)
    case ENOSPC: case EFBIG: return 61;                // disk full
    case EIO: return 57;                               // device I/O error
    case EEXIST: return 58;                            // file already exists
    case ENAMETOOLONG: return 64;                      // file name too long
    case EMFILE: case ENFILE: return 67;               // too many files
    default:                                           // path/file access error
      return err == os::kQuotaExceeded ? 61 : 75;
  }
}

Status OutputFile::Open(const std::string& target, Existing existing) {
  Abandon();
  if (int err = file_.Open(target, existing)) return StatusFromErrno(err);
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
  used_ = 0;
  error_ = 0;
  return 0;
}

void OutputFile::WriteOut(const char* data, std::size_t n) {
  if (n > 0 && error_ == 0 && os::Write(file_.fd(), data, n) < 0) error_ = StatusFromErrno(errno);
}

void OutputFile::Drain() {
  if (file_.fd() >= 0) WriteOut(buffer_.get(), used_);
  used_ = 0;  // after a failure the bytes are dropped; error() says so
}

void OutputFile::AppendSlow(const char* data, std::size_t n) {
  if (file_.fd() < 0 || error_ != 0) return;
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
  if (file_.fd() < 0) return StatusFromErrno(EBADF);
  WriteOut(buffer_.get(), used_);
  used_ = 0;
  if (error_ != 0) {
    file_.Abandon();
    return error_;
  }
  if (int err = file_.Commit()) error_ = StatusFromErrno(err);
  return error_;
}

void OutputFile::Abandon() {
  file_.Abandon();
  used_ = 0;
}

}  // namespace excel

#include "excel/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>

namespace excel {
namespace {

constexpr const char* kTempPrefix = ".addrivo-";
constexpr const char* kTempSuffix = ".tmp";

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes ".addrivo-PID-N.tmp" files in folder whose process is gone: a run
// killed between naming its file and renaming it. Files of other users and
// of live processes stay.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const std::size_t prefix = std::strlen(kTempPrefix), suffix = std::strlen(kTempSuffix);
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name.size() <= prefix + suffix || name.substr(0, prefix) != kTempPrefix ||
        name.substr(name.size() - suffix) != kTempSuffix)
      continue;
    const std::string_view middle = name.substr(prefix, name.size() - prefix - suffix);
    const auto dash = middle.find('-');
    if (dash == std::string_view::npos || dash == 0) continue;
    long pid = 0;
    bool digits = true;
    for (char c : middle.substr(0, dash)) {
      if (c < '0' || c > '9' || pid > 4194304) digits = false;
      else pid = pid * 10 + (c - '0');
    }
    if (!digits || pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
      continue;
    ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
}

// Makes a file's new or changed name durable: syncs the folder holding it.
void SyncFolder(const std::string& folder) {
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

int NewFile::Open(const std::string& target, Existing existing, Staging staging) {
  Abandon();
  if (target.empty() || target.back() == '/') return ENOENT;
  if (NameOf(target).size() > kMaxName) return ENAMETOOLONG;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
  target_ = target;
  folder_ = FolderOf(target);
  existing_ = existing;
  RemoveStaleTemporaries(folder_);

  // A file with no name can never be left behind, whatever happens to us.
  int fd = -1;
  if (staging == Staging::Unnamed) {
    const std::string dir = folder_.empty() ? "." : folder_;
    fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0 && ::access("/proc/self/fd", X_OK) == 0) {
      fd_ = fd;
      unnamed_ = true;
      return 0;
    }
    const int err = errno;
    if (fd >= 0) ::close(fd);
    // Only "not supported here" falls back to a named file; a missing folder
    // or no permission is the answer.
    if (fd < 0 && err != EOPNOTSUPP && err != EISDIR && err != EINVAL) return err;
  }

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder_ + kTempPrefix + std::to_string(::getpid()) + "-" +
                            std::to_string(counter.fetch_add(1)) + kTempSuffix;
    fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

int NewFile::LinkUnder(const std::string& name) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
  return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int NewFile::Commit() {
  if (fd_ < 0) return EBADF;
  int err = 0;
  bool replacing = existing_ == Existing::Replace && Exists(target_);
  // Only a replaced file needs to reach the disk before its name does:
  // otherwise a crash could leave an empty file where the user's was.
  if (replacing && ::fsync(fd_) != 0) err = errno;

  if (err == 0 && unnamed_) {
    if (!replacing) {
      err = LinkUnder(target_);  // never replaces: EEXIST when taken
      if (err == EEXIST && existing_ == Existing::Replace) {  // appeared meanwhile
        replacing = true;
        err = ::fsync(fd_) == 0 ? 0 : errno;
      }
    }
    // To replace, the file gets a hidden name first and is renamed over the
    // target: no moment without a file under the target's name.
    if (err == 0 && replacing) {
      static std::atomic<unsigned> counter{0};
      for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder_ + kTempPrefix + std::to_string(::getpid()) + "-u" +
                std::to_string(counter.fetch_add(1)) + kTempSuffix;
        err = LinkUnder(temp_);
        if (err != EEXIST) break;
      }
      if (err != 0) temp_.clear();
    }
  }
  if (err == 0 && !temp_.empty()) {
    if (existing_ == Existing::Replace) {
      if (::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
    } else if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
      err = errno;
      if (err == EINVAL || err == ENOSYS) {  // a file system without it: link keeps the rule
        err = ::link(temp_.c_str(), target_.c_str()) == 0 ? 0 : errno;
        if (err == 0) ::unlink(temp_.c_str());
      }
    }
  }
  if (err != 0 && !temp_.empty()) ::unlink(temp_.c_str());
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  temp_.clear();
  if (err == 0 && replacing) SyncFolder(folder_);
  return err;
}

void NewFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
  fd_ = -1;
  temp_.clear();
}

Status OutputFile::StatusFromErrno(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: return 76;              // path not found
    case EACCES: case EPERM: case EROFS: return 70;    // permission denied
    case ENOSPC: case EFBIG: case EDQUOT: return 61;   // disk full
    case EIO: return 57;                               // device I/O error
    case EEXIST: return 58;                            // file already exists
    case ENAMETOOLONG: return 64;                      // file name too long
    case EMFILE: case ENFILE: return 67;               // too many files
    default: return 75;                                // path/file access error
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
  while (n > 0 && error_ == 0) {
    ssize_t w = ::write(file_.fd(), data, n);
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

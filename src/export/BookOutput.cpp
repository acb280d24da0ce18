#include "BookOutput.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace exports {
namespace {

std::string Cause(int err) { return std::strerror(err); }

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

// Renames from over to only when to does not exist, atomically where the
// file system can.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without the flag: a hard link fails on an existing name.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  if (Exists(to)) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string StagedOutput::Begin(const std::string& target, const ReplaceConsent& consent) {
  Abandon();
  target_ = target;
  replacing_ = false;
  struct stat st{};
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return target + " is a folder.";
    if (!consent || !consent(target)) return target + " already exists and was not replaced.";
    replacing_ = true;
  }
  const auto slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string pattern = (slash == std::string::npos ? std::string() : folder) + ".addrivo-XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    const int err = errno;
    return "The file could not be created in " + folder + ": " + Cause(err) + ".";
  }
  temp_ = pattern;
  fchmod(fd_, 0644);
  error_ = 0;
  return {};
}

void StagedOutput::Write(const std::string& bytes) {
  if (fd_ < 0 || error_) return;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

std::string StagedOutput::Commit() {
  if (temp_.empty()) return "The file was not created.";
  int err = error_;
  // A file that replaces one the user had reaches the disk before the old
  // one goes; a new file needs no such wait.
  if (!err && replacing_) {
    const int fd = fd_ >= 0 ? fd_ : open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) err = errno;
    if (fd >= 0 && fd != fd_) close(fd);
  }
  if (fd_ >= 0) {
    if (close(fd_) != 0 && !err) err = errno;
    fd_ = -1;
  }
  if (!err) {
    if (replacing_) {
      if (rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
    } else {
      err = RenameNoReplace(temp_, target_);
      if (err == EEXIST) {
        Abandon();
        return target_ + " appeared while the export ran and was not replaced.";
      }
    }
  }
  if (err) {
    Abandon();
    return "Writing " + target_ + " failed: " + Cause(err) + ".";
  }
  temp_.clear();
  return {};
}

void StagedOutput::Abandon() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
}

std::vector<std::string> ExportLosses::Lines() const {
  std::vector<std::string> lines;
  auto add = [&](std::int32_t n, const char* one, const char* many) {
    if (n == 1) lines.push_back(std::string("1 ") + one);
    if (n > 1) lines.push_back(std::to_string(n) + " " + many);
  };
  add(emailsInNotes, "e-mail address did not fit the layout's e-mail columns and was moved into the notes.",
      "e-mail addresses did not fit the layout's e-mail columns and were moved into the notes.");
  add(valuesInNotes, "value has no column of its own in this layout and was moved into the notes.",
      "values have no column of their own in this layout and were moved into the notes.");
  add(missingMembers, "group member names an entry that is no longer in the address book and was left out.",
      "group members name entries that are no longer in the address book and were left out.");
  add(addressMembers, "group member is a bare e-mail address, which this format cannot list in a group; it was left out.",
      "group members are bare e-mail addresses, which this format cannot list in a group; they were left out.");
  add(nestedGroups, "group listed inside another group has no place in this format and was left out of it.",
      "groups listed inside other groups have no place in this format and were left out of them.");
  add(shortenedValues, "value was longer than the format holds and was shortened.",
      "values were longer than the format holds and were shortened.");
  return lines;
}

}  // namespace exports

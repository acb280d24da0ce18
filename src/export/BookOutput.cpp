#include "BookOutput.h"

#include <cerrno>
#include <cstring>

#include "platform/os/Os.h"

namespace exports {
namespace {

std::string Cause(int err) { return std::strerror(err); }

}  // namespace

std::string StagedOutput::Begin(const std::string& target, const ReplaceConsent& consent) {
  Abandon();
  target_ = target;
  replacing_ = false;
  if (os::FileInfo st; os::StatPath(target, st)) {
    if (st.directory) return target + " is a folder.";
    if (!consent || !consent(target)) return target + " already exists and was not replaced.";
    replacing_ = true;
  }
  const auto slash = target.find_last_of(os::kSeparators);
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  fd_ = os::CreateTemporary((slash == std::string::npos ? std::string() : folder) + ".addrivo-", temp_);
  if (fd_ < 0) {
    const int err = errno;
    return "The file could not be created in " + folder + ": " + Cause(err) + ".";
  }
  error_ = 0;
  return {};
}

void StagedOutput::Write(const std::string& bytes) {
  if (fd_ < 0 || error_) return;
  if (os::Write(fd_, bytes.data(), bytes.size()) < 0) error_ = errno;
}

std::string StagedOutput::Commit() {
  if (temp_.empty()) return "The file was not created.";
  int err = error_;
  // A file that replaces one the user had reaches the disk before the old
  // one goes; a new file needs no such wait.
  if (!err && replacing_) {
    const int fd = fd_ >= 0 ? fd_ : os::OpenForReading(temp_);
    if (fd < 0) err = errno;
    else err = os::Flush(fd);
    if (fd >= 0 && fd != fd_) os::Close(fd);
  }
  if (fd_ >= 0) {
    if (os::Close(fd_) != 0 && !err) err = errno;
    fd_ = -1;
  }
  if (!err) {
    if (replacing_) {
      err = os::RenameOver(temp_, target_);
    } else {
      err = os::RenameNoReplace(temp_, target_);
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
    os::Close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    os::Remove(temp_);
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

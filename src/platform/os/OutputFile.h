// Output files that appear under their name only when finished.
//
// NewFile is the file-system half, shared by every writer (the workbook, the
// personal folders files, the other exports): the bytes go to a file with no
// name (O_TMPFILE) in the target's folder, or where the file system has no
// such files, to a short hidden name ".addrivo-PID-N.tmp" there; Commit()
// puts the file under the target name. Until then an existing file of that
// name stays untouched, and a failure or an abandoned file leaves nothing
// behind. Hidden files of that pattern left by a killed run are removed by
// the next Open in the same folder.
// - A new file gets the usual 0666-minus-umask mode and needs no fsync.
// - Replacing an existing file (only with Existing::Replace) syncs the new
//   file before the rename and the folder after it, so that a power cut
//   leaves either the old file or the new one, never an empty one.
// - Existing::ReplaceUnsynced removes the existing file and puts the new one
//   in its place, syncing nothing: for a file that holds nothing a power cut
//   could cost (one this program wrote moments ago, empty), as a new file is
//   not synced either. A rename over it would make some file systems (ext4)
//   write the new file out first.
// - With Existing::Keep a file that appeared meanwhile is never replaced:
//   Commit() fails with EEXIST.
// - A target name over 255 bytes fails with ENAMETOOLONG.
// - Staging::Named always uses the short hidden name, for writers that open
//   their file by path (path() gives it); Commit() renames it into place
//   with the same rules.
//
// OutputFile buffers the workbook's bytes on top of a NewFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/os/Status.h"

namespace excel {

using Status = ::status::Status;

// What Commit does when the target name is taken.
enum class Existing { Replace, Keep, ReplaceUnsynced };

// Whether the bytes may go to a file with no name until Commit, or need a
// (hidden, temporary) name because the writer opens the file by path.
enum class Staging { Unnamed, Named };

class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { Abandon(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates the unnamed file for target; 0 or an errno value (ENOENT for a
  // missing folder, EISDIR for a folder of that name, ENAMETOOLONG, ...).
  int Open(const std::string& target, Existing existing = Existing::Replace,
           Staging staging = Staging::Unnamed);
  // The file to write to (and read back); -1 when not open.
  int fd() const { return fd_; }
  // The temporary name the bytes are under until Commit; empty for a file
  // with no name. Always set after a successful Open with Staging::Named.
  const std::string& path() const { return temp_; }
  // Puts the file under its name and closes it; 0 or an errno value, and
  // then the target is as it was.
  int Commit();
  // Drops the file; the target stays as it was.
  void Abandon();

  // The longest file name (one path component) a target may have.
  static constexpr std::size_t kMaxName = 255;

 private:
  int LinkUnder(const std::string& name);  // gives the unnamed file a name
  int fd_ = -1;
  bool unnamed_ = false;  // O_TMPFILE
  Existing existing_ = Existing::Replace;
  std::string target_, folder_, temp_;
};

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file beside target. A status on failure: the
  // folder is missing, the target is a folder, no permission, ...
  Status Open(const std::string& target, Existing existing = Existing::Replace);

  bool isOpen() const { return file_.fd() >= 0; }

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

  NewFile file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  Status error_ = 0;
};

}  // namespace excel

// What differs between the systems the program runs on, and nothing else:
// files opened by name, positioned writes, renaming over a file, flushing to
// disk, exclusive creation, the book's bytes mapped or read, the user's ANSI
// code page, the per-user configuration folder and its lock, local time,
// terminals, and the command line as UTF-8. Everything above this layer is
// shared and says nothing about the system it runs on.
//
// Names are UTF-8 throughout. Files are C runtime descriptors (POSIX ones,
// or the Microsoft C runtime's on Windows, where names are opened by their
// UTF-16 form and long names through the \\?\ prefix). Functions that can
// fail return -1 (or false) and leave the reason in errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace os {

// --- files --------------------------------------------------------------------

// The name as the system's file functions take it (UTF-16 with the long-name
// prefix on Windows; unchanged elsewhere). For std::filesystem and streams.
#if defined(_WIN32)
using NativeName = std::wstring;
#else
using NativeName = std::string;
#endif
NativeName Native(const std::string& utf8);

// The characters that end a folder's name in a path ("/", and "\\" too on
// Windows).
extern const char* const kSeparators;

// errno of a full quota (a full disk where the system tells them apart).
extern const int kQuotaExceeded;

int OpenForReading(const std::string& path);
// A new file that must not exist yet (EEXIST when it does); never follows a
// link at the last component where the system has links.
int CreateNew(const std::string& path, unsigned mode);
// Opened for reading and writing, created when missing (a lock file); not
// through a link where the system has links.
int OpenOrCreate(const std::string& path, unsigned mode);
int Close(int fd);
// A second descriptor of the same open file (for a stream that closes its own).
int Duplicate(int fd);

struct FileInfo {
  bool regular = false;
  bool directory = false;
  std::uint64_t size = 0;
};
bool Stat(int fd, FileInfo& info);
// Of a name; false (errno set) when there is nothing there.
bool StatPath(const std::string& path, FileInfo& info);

// Reads or writes at offset without moving the file position; short counts
// only at the end of the file. Returns the count, or -1.
long long ReadAt(int fd, void* data, std::size_t n, std::uint64_t offset);
long long WriteAt(int fd, const void* data, std::size_t n, std::uint64_t offset);
// Appends at the file position; -1 on failure, else the count written.
long long Write(int fd, const void* data, std::size_t n);
// The file's data on the disk (fsync / FlushFileBuffers): 0 or errno.
int Flush(int fd);
// from takes to's name, replacing a file there: 0 or errno.
int RenameOver(const std::string& from, const std::string& to);
// from takes to's name only when there is nothing under it (EEXIST), at
// once where the file system can: 0 or errno.
int RenameNoReplace(const std::string& from, const std::string& to);
// A new file of a unique name starting with prefix (a folder and the start
// of a name), readable by all: its descriptor, its name in name; or -1.
int CreateTemporary(const std::string& prefix, std::string& name);
// Whether anything (a link too) has the name.
bool Exists(const std::string& path);
// A file with no name in folder, which can never be left behind, given a
// name by LinkUnnamed once finished; -1 (errno EOPNOTSUPP) where the system
// or the file system has none.
int OpenUnnamed(const std::string& folder);
int LinkUnnamed(int fd, const std::string& name);
// Makes new or changed names in folder durable, where the system needs that.
void SyncFolder(const std::string& folder);
// Removes files "<prefix><process id>-<anything><suffix>" in folder that a
// process no longer running left, and only the user's own.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix, const std::string& suffix);
// Removes a file: 0 or errno.
int Remove(const std::string& path);
long ProcessId();

// A copy of the open file fd's bytes in memory, sealed so that neither this
// process nor another can change it: its descriptor, or -1 when fd cannot be
// read (readFailed set), holds more than limit bytes, or the system has no
// sealed memory files (Windows).
int SealedCopy(int fd, std::uint64_t limit, bool& readFailed);

// --- the book's bytes -----------------------------------------------------------

// A read-only map of an open file, or nothing (Valid() false) where the file
// cannot be mapped and the caller reads it instead. A file cut short under
// the program turns the missing pages into zeros and Intact() false, where
// the system lets us see that; elsewhere the file is never mapped.
class FileMap {
 public:
  FileMap() = default;
  static FileMap Map(int fd, std::size_t size);
  ~FileMap();
  FileMap(FileMap&& other) noexcept;
  FileMap& operator=(FileMap&& other) noexcept;
  FileMap(const FileMap&) = delete;
  FileMap& operator=(const FileMap&) = delete;

  bool Valid() const { return slot_ >= 0; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool Intact() const;
  // Hands the pages back to the system; the bytes stay readable.
  void Release() const;

 private:
  void Reset();
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t length_ = 0;
  int slot_ = -1;
};

// --- text ------------------------------------------------------------------------

// The ANSI code page the system gives this user (GetACP on Windows), or
// nothing where the system has none and the locale decides.
std::optional<int> SystemCodePage();
// The lower case of a Unicode character by the C library's or the system's
// own tables, whatever locale the process runs in.
char32_t ToLower(char32_t c);

// --- the user's place ------------------------------------------------------------

// The folder per-user settings belong in: %APPDATA% on Windows,
// $XDG_CONFIG_HOME or ~/.config elsewhere. Empty when the system names none
// of the user's own.
std::string ConfigFolder();

// An exclusive lock on an open file, waited for; released by Unlock or
// closing the file. 0 or errno.
int LockExclusive(int fd);

// --- memory ------------------------------------------------------------------------

// A hint for a large block that is filled once and soon: where the system
// offers huge pages, thousands of page faults become a few. Only a hint:
// refused, or on a system without them, nothing changes.
void PreferHugePages(const void* block, std::size_t bytes);

// --- time and the terminal ------------------------------------------------------

std::tm LocalTime(std::time_t t);
bool StderrIsTerminal();

// The program's arguments as UTF-8 (on Windows read again as UTF-16 from the
// system, as argv holds them in the ANSI code page); also sets the console
// to show UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace os

// The layer on Windows: wide names, the Win32 file, code page and lock
// functions, and the Microsoft C runtime's descriptors.
#include "platform/os/Os.h"
#include "platform/os/WideText.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <algorithm>

namespace os {
namespace {

int ErrnoFrom(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_ALREADY_EXISTS: case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_INVALID_HANDLE: return EBADF;
    default: return EIO;
  }
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

}  // namespace

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Utf8(std::wstring_view w) {
  if (w.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

const char* const kSeparators = "/\\";
const int kQuotaExceeded = ENOSPC;

// Full names of MAX_PATH and more take the \\?\ form, which the system uses
// as it stands: so the name is made whole and absolute first.
NativeName Native(const std::string& utf8) {
  std::wstring w = Wide(utf8);
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  if (w.empty() || w.rfind(L"\\\\?\\", 0) == 0) return w;
  const DWORD need = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (need == 0) return w;
  std::wstring full(need, L'\0');
  const DWORD got = ::GetFullPathNameW(w.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return w;
  full.resize(got);
  // Directories must leave room for an 8.3 name below them.
  if (full.size() < MAX_PATH - 12) return w;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

int OpenForReading(const std::string& path) {
  return ::_wopen(Native(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int CreateNew(const std::string& path, unsigned) {
  return ::_wopen(Native(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

int OpenOrCreate(const std::string& path, unsigned) {
  return ::_wopen(Native(path).c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int Close(int fd) { return ::_close(fd); }

int Duplicate(int fd) { return ::_dup(fd); }

namespace {
void Fill(const struct _stat64& st, FileInfo& info) {
  info.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  info.directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
  info.size = static_cast<std::uint64_t>(st.st_size);
}
}  // namespace

bool Stat(int fd, FileInfo& info) {
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0) return false;
  Fill(st, info);
  return true;
}

bool StatPath(const std::string& path, FileInfo& info) {
  struct _stat64 st {};
  if (::_wstat64(Native(path).c_str(), &st) != 0) return false;
  Fill(st, info);
  return true;
}

// ReadFile and WriteFile at an offset move the file pointer of a handle not
// opened for overlapped use; the pointer is put back, so streams over the
// same descriptor carry on where they were.
namespace {
template <class Op>
long long AtOffset(int fd, std::size_t n, std::uint64_t offset, Op op) {
  HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  const long long where = ::_lseeki64(fd, 0, SEEK_CUR);
  std::size_t done = 0;
  long long result = 0;
  while (done < n) {
    OVERLAPPED ov{};
    const std::uint64_t at = offset + done;
    ov.Offset = static_cast<DWORD>(at);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
    DWORD moved = 0;
    if (!op(h, done, chunk, &moved, &ov)) {
      const DWORD e = ::GetLastError();
      if (e == ERROR_HANDLE_EOF) break;
      errno = ErrnoFrom(e);
      result = -1;
      break;
    }
    if (moved == 0) break;
    done += moved;
  }
  if (where >= 0) ::_lseeki64(fd, where, SEEK_SET);
  return result < 0 ? -1 : static_cast<long long>(done);
}
}  // namespace

long long ReadAt(int fd, void* data, std::size_t n, std::uint64_t offset) {
  return AtOffset(fd, n, offset, [data](HANDLE h, std::size_t done, DWORD chunk, DWORD* moved, OVERLAPPED* ov) {
    return ::ReadFile(h, static_cast<char*>(data) + done, chunk, moved, ov) != 0;
  });
}

long long WriteAt(int fd, const void* data, std::size_t n, std::uint64_t offset) {
  const long long r =
      AtOffset(fd, n, offset, [data](HANDLE h, std::size_t done, DWORD chunk, DWORD* moved, OVERLAPPED* ov) {
        return ::WriteFile(h, static_cast<const char*>(data) + done, chunk, moved, ov) != 0;
      });
  if (r >= 0 && static_cast<std::size_t>(r) < n) {
    errno = ENOSPC;
    return -1;
  }
  return r;
}

long long Write(int fd, const void* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(n - done, 1u << 30));
    const int w = ::_write(fd, static_cast<const char*>(data) + done, chunk);
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return -1;
    }
    done += static_cast<std::size_t>(w);
  }
  return static_cast<long long>(done);
}

int Flush(int fd) { return ::_commit(fd) == 0 ? 0 : errno; }

int RenameOver(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Native(from).c_str(), Native(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return ErrnoFrom(::GetLastError());
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Native(from).c_str(), Native(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
  return ErrnoFrom(::GetLastError());
}

int CreateTemporary(const std::string& prefix, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = prefix + std::to_string(::GetCurrentProcessId()) + "-" +
                            std::to_string(::GetTickCount() ^ counter.fetch_add(1));
    const int fd = CreateNew(candidate, 0644);
    if (fd >= 0) {
      name = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(Native(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int OpenUnnamed(const std::string&) {
  errno = EOPNOTSUPP;
  return -1;
}

int LinkUnnamed(int, const std::string&) { return EOPNOTSUPP; }

// Renames are written through (MOVEFILE_WRITE_THROUGH); NTFS keeps names in
// its journal.
void SyncFolder(const std::string&) {}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix, const std::string& suffix) {
  WIN32_FIND_DATAW found;
  const std::string base = folder.empty() ? std::string() : folder;
  HANDLE find = ::FindFirstFileW(Native(base + prefix + "*" + suffix).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    const std::string name = Utf8(found.cFileName, std::wcslen(found.cFileName));
    if (name.size() <= prefix.size() + suffix.size()) continue;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto dash = middle.find('-');
    if (dash == std::string::npos || dash == 0 || dash > 10) continue;
    unsigned long long pid = 0;
    bool digits = true;
    for (char c : middle.substr(0, dash)) {
      if (c < '0' || c > '9') digits = false;
      else pid = pid * 10 + static_cast<unsigned>(c - '0');
    }
    if (!digits || pid == 0 || pid > 0xFFFFFFFFull || pid == ::GetCurrentProcessId()) continue;
    // A process that cannot be opened for being asked is gone only when the
    // system says there is no such process.
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process) {
      ::CloseHandle(process);
      continue;
    }
    if (::GetLastError() != ERROR_INVALID_PARAMETER) continue;
    ::DeleteFileW(Native(base + name).c_str());
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

int Remove(const std::string& path) { return ::_wunlink(Native(path).c_str()) == 0 ? 0 : errno; }

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

int SealedCopy(int, std::uint64_t, bool& readFailed) {
  readFailed = false;
  errno = ENOSYS;
  return -1;
}

// --- FileMap: the book is read; a view of a file cut short under us would
// raise an exception the program cannot turn into a report as it does on
// POSIX systems.

FileMap::~FileMap() { Reset(); }
FileMap::FileMap(FileMap&& other) noexcept { *this = std::move(other); }
FileMap& FileMap::operator=(FileMap&&) noexcept { return *this; }
void FileMap::Reset() {}
FileMap FileMap::Map(int, std::size_t) { return {}; }
bool FileMap::Intact() const { return true; }
void FileMap::Release() const {}

// --- text -------------------------------------------------------------------------

std::optional<int> SystemCodePage() { return static_cast<int>(::GetACP()); }

char32_t ToLower(char32_t c) {
  if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return c;
  wchar_t in = static_cast<wchar_t>(c), out = in;
  if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &in, 1, &out, 1, nullptr, nullptr, 0) != 1)
    return c;
  return static_cast<char32_t>(out);
}

// --- the user's place ---------------------------------------------------------------

std::string ConfigFolder() {
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  if (!appData || !*appData) return {};
  std::string folder = Utf8(appData, std::wcslen(appData));
  for (auto& c : folder)
    if (c == '\\') c = '/';
  return folder;
}

int LockExclusive(int fd) {
  HANDLE h = HandleOf(fd);
  OVERLAPPED ov{};
  if (h == INVALID_HANDLE_VALUE) return EBADF;
  return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &ov) ? 0 : ErrnoFrom(::GetLastError());
}

// --- time and the terminal --------------------------------------------------------

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  ::localtime_s(&tm, &t);
  return tm;
}

void PreferHugePages(const void*, std::size_t) {}

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i], std::wcslen(wide[i])));
  ::LocalFree(wide);
  ::SetConsoleOutputCP(CP_UTF8);
  // Output is the same bytes as on other systems: no CR before each LF.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  return args;
}

}  // namespace os

// The layer on Linux and other POSIX systems.
#include "platform/os/Os.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <cstring>
#include <mutex>
#include <string_view>

namespace os {

const char* const kSeparators = "/";
const int kQuotaExceeded = EDQUOT;

NativeName Native(const std::string& utf8) { return utf8; }

int OpenForReading(const std::string& path) {
  // O_NONBLOCK keeps a named pipe from blocking the open, O_NOCTTY a terminal
  // from becoming ours; callers refuse both.
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

int CreateNew(const std::string& path, unsigned mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
}

int OpenOrCreate(const std::string& path, unsigned mode) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
}

int Close(int fd) { return ::close(fd); }

int Duplicate(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

namespace {
void Fill(const struct stat& st, FileInfo& info) {
  info.regular = S_ISREG(st.st_mode);
  info.directory = S_ISDIR(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
}
}  // namespace

bool Stat(int fd, FileInfo& info) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  Fill(st, info);
  return true;
}

bool StatPath(const std::string& path, FileInfo& info) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  Fill(st, info);
  return true;
}

long long ReadAt(int fd, void* data, std::size_t n, std::uint64_t offset) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, static_cast<char*>(data) + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

long long WriteAt(int fd, const void* data, std::size_t n, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::pwrite(fd, static_cast<const char*>(data) + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    done += static_cast<std::size_t>(w);
  }
  return static_cast<long long>(done);
}

long long Write(int fd, const void* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd, static_cast<const char*>(data) + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    done += static_cast<std::size_t>(w);
  }
  return static_cast<long long>(done);
}

int Flush(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int RenameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without the flag: a hard link fails on an existing name.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int CreateTemporary(const std::string& prefix, std::string& name) {
  std::string pattern = prefix + "XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  ::fchmod(fd, 0644);
  name = std::move(pattern);
  return fd;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

int OpenUnnamed(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    // Only "not supported here" means a named file instead; a missing
    // folder or no permission is the answer.
    if (errno == EISDIR || errno == EINVAL) errno = EOPNOTSUPP;
    return -1;
  }
  // Naming it later goes through /proc.
  if (::access("/proc/self/fd", X_OK) != 0) {
    ::close(fd);
    errno = EOPNOTSUPP;
    return -1;
  }
  return fd;
}

int LinkUnnamed(int fd, const std::string& name) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

void SyncFolder(const std::string& folder) {
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

// A run killed between naming its file and renaming it. Files of other
// users and of live processes stay.
void RemoveStaleTemporaries(const std::string& folder, const std::string& tempPrefix, const std::string& tempSuffix) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const std::size_t prefix = tempPrefix.size(), suffix = tempSuffix.size();
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name.size() <= prefix + suffix || name.substr(0, prefix) != tempPrefix ||
        name.substr(name.size() - suffix) != tempSuffix)
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

int Remove(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

long ProcessId() { return static_cast<long>(::getpid()); }

int SealedCopy(int fd, std::uint64_t limit, bool& readFailed) {
  readFailed = false;
  const int copy = ::memfd_create("addrivo-help", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (copy < 0) return -1;
  std::vector<char> buffer(1 << 16);
  std::uint64_t total = 0;
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      readFailed = true;
      break;
    }
    if (n == 0) break;
    total += static_cast<std::uint64_t>(n);
    if (total > limit) {  // it grew while being read
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(copy, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  if (!ok || ::fcntl(copy, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
    ::close(copy);
    return -1;
  }
  return copy;
}

// --- FileMap ----------------------------------------------------------------------
//
// Touching a page of a file cut short under us raises SIGBUS. A handler
// installed here turns that into zero-filled pages and a flag. It can
// neither lock nor allocate, so the maps it may repair are a fixed table of
// lock-free atomics; a file that finds it full is read instead. A handler
// installed before ours keeps every address outside our maps.

namespace {

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::size_t> length{0};
  std::atomic<bool> cut{false};
};
constexpr int kSlots = 64;
Slot gSlots[kSlots];
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

std::uintptr_t gPageMask = 0;
struct sigaction gPrevious {};

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Slot& s : gSlots) {
    const std::uintptr_t begin = s.begin.load();
    const std::size_t length = s.length.load();
    if (begin == 0 || at < begin || at - begin >= length) continue;
    // Zero pages from here to the end of the map, so the access that
    // faulted, and every later one, reads zeros.
    const std::uintptr_t page = at & gPageMask;
    void* p = ::mmap(reinterpret_cast<void*>(page), begin + length - page, PROT_READ,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (p == MAP_FAILED) break;
    s.cut.store(true);
    return;
  }
  if ((gPrevious.sa_flags & SA_SIGINFO) && gPrevious.sa_sigaction) {
    gPrevious.sa_sigaction(sig, info, context);
    return;
  }
  if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
    gPrevious.sa_handler(sig);
    return;
  }
  // Blocked while we run: delivered with the default action on return.
  ::signal(SIGBUS, SIG_DFL);
  ::raise(SIGBUS);
}

bool InstallHandler() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    gPageMask = ~static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE) - 1);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    installed = ::sigaction(SIGBUS, &action, &gPrevious) == 0;
  });
  return installed;
}

int TakeSlot() {
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (gSlots[i].taken.compare_exchange_strong(expected, true)) return i;
  }
  return -1;
}

}  // namespace

FileMap::~FileMap() { Reset(); }

FileMap::FileMap(FileMap&& other) noexcept { *this = std::move(other); }

FileMap& FileMap::operator=(FileMap&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  data_ = other.data_;
  size_ = other.size_;
  length_ = other.length_;
  slot_ = other.slot_;
  other.data_ = nullptr;
  other.size_ = other.length_ = 0;
  other.slot_ = -1;
  return *this;
}

void FileMap::Reset() {
  if (slot_ >= 0) {
    Slot& s = gSlots[slot_];
    s.begin.store(0);
    s.length.store(0);
    ::munmap(const_cast<char*>(data_), length_);
    s.cut.store(false);
    s.taken.store(false);
  }
  data_ = nullptr;
  size_ = length_ = 0;
  slot_ = -1;
}

FileMap FileMap::Map(int fd, std::size_t size) {
  FileMap m;
  if (size == 0 || !InstallHandler()) return m;
  const int slot = TakeSlot();
  if (slot < 0) return m;
  // Not populated: the pages come in as they are read (the kernel maps a
  // run of cached pages on each fault) and go back with Release().
  void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) {
    gSlots[slot].taken.store(false);
    return m;
  }
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  m.data_ = static_cast<const char*>(p);
  m.size_ = size;
  m.length_ = (size + page - 1) / page * page;
  m.slot_ = slot;
  gSlots[slot].cut.store(false);
  gSlots[slot].length.store(m.length_);
  gSlots[slot].begin.store(reinterpret_cast<std::uintptr_t>(p));
  return m;
}

bool FileMap::Intact() const { return slot_ < 0 || !gSlots[slot_].cut.load(); }

void FileMap::Release() const {
  if (slot_ >= 0) ::madvise(const_cast<char*>(data_), length_, MADV_DONTNEED);
}

// --- text -------------------------------------------------------------------------

std::optional<int> SystemCodePage() { return std::nullopt; }

char32_t ToLower(char32_t c) {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return loc ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), loc)) : c;
}

// --- the user's place ---------------------------------------------------------------

std::string ConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw && pw->pw_dir && *pw->pw_dir ? pw->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return {};
  return std::string(home) + "/.config";
}

int LockExclusive(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// --- time and the terminal --------------------------------------------------------

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

void PreferHugePages(const void* block, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  // Only the whole huge pages inside the block: its neighbours keep their own advice.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (at + kHuge - 1) & ~(kHuge - 1), end = (at + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace os

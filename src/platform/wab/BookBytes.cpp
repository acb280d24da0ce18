#include "BookBytes.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace wab {
namespace {

// The maps the SIGBUS handler may repair. A handler can neither lock nor
// allocate, so this is a fixed table of lock-free atomics; a book that
// finds it full is read into memory instead.
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
    // The file was cut short: zero pages from here to the end of the map,
    // so the access that faulted, and every later one, reads zeros.
    const std::uintptr_t page = at & gPageMask;
    void* p = ::mmap(reinterpret_cast<void*>(page), begin + length - page, PROT_READ,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (p == MAP_FAILED) break;
    s.cut.store(true);
    return;
  }
  // Not one of ours: whatever was there before us.
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

BookBytes::BookBytes(std::string bytes) : owned_(std::make_unique<std::string>(std::move(bytes))) {
  data_ = owned_->data();
  size_ = owned_->size();
}

BookBytes::~BookBytes() { Reset(); }

BookBytes::BookBytes(BookBytes&& other) noexcept { *this = std::move(other); }

BookBytes& BookBytes::operator=(BookBytes&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  owned_ = std::move(other.owned_);
  data_ = other.data_;
  size_ = other.size_;
  mapLength_ = other.mapLength_;
  slot_ = other.slot_;
  other.data_ = nullptr;
  other.size_ = other.mapLength_ = 0;
  other.slot_ = -1;
  return *this;
}

void BookBytes::Reset() {
  if (slot_ >= 0) {
    Slot& s = gSlots[slot_];
    s.begin.store(0);
    s.length.store(0);
    ::munmap(const_cast<char*>(data_), mapLength_);
    s.cut.store(false);
    s.taken.store(false);
  }
  owned_.reset();
  data_ = nullptr;
  size_ = mapLength_ = 0;
  slot_ = -1;
}

BookBytes BookBytes::Map(int fd, std::size_t size) {
  BookBytes b;
  if (size == 0 || !InstallHandler()) return b;
  const int slot = TakeSlot();
  if (slot < 0) return b;
  // Not populated: the pages come in as they are read (the kernel maps a
  // run of cached pages on each fault) and go back with Release().
  void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) {
    gSlots[slot].taken.store(false);
    return b;
  }
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  b.data_ = static_cast<const char*>(p);
  b.size_ = size;
  b.mapLength_ = (size + page - 1) / page * page;
  b.slot_ = slot;
  gSlots[slot].cut.store(false);
  gSlots[slot].length.store(b.mapLength_);
  gSlots[slot].begin.store(reinterpret_cast<std::uintptr_t>(p));
  return b;
}

bool BookBytes::Intact() const { return slot_ < 0 || !gSlots[slot_].cut.load(); }

void BookBytes::Release() const {
  if (slot_ >= 0) ::madvise(const_cast<char*>(data_), mapLength_, MADV_DONTNEED);
}

}  // namespace wab

#include "platform/wab/ContactReadAhead.h"

#include <utility>

namespace wab {

ContactReadAhead::ContactReadAhead(BookContacts& book, std::vector<std::size_t> positions)
    : book_(book),
      positions_(std::move(positions)),
      ring_(std::make_unique<Contact[]>(kAhead)),
      read_(std::make_unique<bool[]>(kAhead)),
      thread_([this] { Run(); }) {}

ContactReadAhead::~ContactReadAhead() {
  stop_.store(true);
  // Wakes the thread if it waits for room.
  taken_.store(positions_.size() + kAhead);
  taken_.notify_one();
  thread_.join();
}

void ContactReadAhead::Run() {
  for (std::size_t k = 0; k < positions_.size(); ++k) {
    // The caller still holds the contact it took last: slot k may be filled
    // once every contact before k + 1 - kAhead has been taken and let go.
    for (std::size_t taken = taken_.load(); k + 2 > taken + kAhead; taken = taken_.load()) {
      if (stop_.load()) return;
      taken_.wait(taken);
    }
    if (stop_.load()) return;
    try {
      read_[k % kAhead] = book_.ReadAt(positions_[k], ring_[k % kAhead]);
    } catch (...) {
      error_ = std::current_exception();
      errorAt_ = k;
      ready_.store(k + 1);
      ready_.notify_one();
      return;
    }
    ready_.store(k + 1);
    ready_.notify_one();
  }
}

const Contact* ContactReadAhead::Next() {
  const std::size_t k = taken_.load();
  if (k >= positions_.size()) return nullptr;
  for (std::size_t ready = ready_.load(); ready <= k; ready = ready_.load()) ready_.wait(ready);
  if (error_ && errorAt_ == k) std::rethrow_exception(error_);
  taken_.store(k + 1);
  taken_.notify_one();
  return read_[k % kAhead] ? &ring_[k % kAhead] : nullptr;
}

}  // namespace wab

#include "platform/wab/ContactReadAhead.h"

#include <algorithm>
#include <utility>

namespace wab {

ContactReadAhead::ContactReadAhead(std::size_t count, Reading read)
    : count_(count), read_(std::move(read)), batches_(std::make_unique<Batch[]>(2)) {
  thread_ = std::thread([this] { Run(); });
}

ContactReadAhead::~ContactReadAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ContactReadAhead::Run() {
  const std::size_t batches = (count_ + kBatch - 1) / kBatch;
  for (std::size_t b = 0; b < batches; ++b) {
    {
      // Batch b reuses the room of batch b - 2, which the caller must have let go.
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || b < released_ + 2; });
      if (stop_) return;
    }
    Batch& batch = batches_[b % 2];
    const std::size_t first = b * kBatch, end = std::min(count_, first + kBatch);
    for (std::size_t k = first; k < end; ++k) {
      try {
        batch.read[k - first] = read_(k, batch.contacts[k - first], batch.texts[k - first]);
      } catch (...) {
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        errorAt_ = k;
        filled_ = b + 1;
        changed_.notify_all();
        return;
      }
    }
    {
      std::lock_guard lock(mutex_);
      filled_ = b + 1;
      if (stop_) return;
    }
    changed_.notify_all();
  }
}

const Contact* ContactReadAhead::Next() {
  const std::size_t k = taken_;
  if (k >= count_) return nullptr;
  const std::size_t b = k / kBatch;
  if (k % kBatch == 0) {
    std::unique_lock lock(mutex_);
    // Starting a batch lets go of the one before it.
    if (b > released_) {
      released_ = b;
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return filled_ > b; });
    // A failure in this batch ends it there.
    if (error_) {
      failure_ = error_;
      failsAt_ = errorAt_;
    }
  }
  if (failure_ && k >= failsAt_) std::rethrow_exception(failure_);
  ++taken_;
  const Batch& batch = batches_[b % 2];
  return batch.read[k % kBatch] ? &batch.contacts[k % kBatch] : nullptr;
}

const std::vector<StoredText>& ContactReadAhead::Texts() const {
  static const std::vector<StoredText> kNone;
  if (taken_ == 0) return kNone;
  const std::size_t k = taken_ - 1;
  return batches_[(k / kBatch) % 2].texts[k % kBatch];
}

}  // namespace wab

// Items made on a second thread a few steps ahead of the thread that takes
// them in order: the writer makes each contact's properties there while the
// calling thread lays the items out and writes the file. Each slot belongs to
// one thread at a time, handed over under the lock, so the two share nothing
// else; the order, and so every byte written, is that of a plain loop.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace pst::detail {

// Runs, for i = 0 .. n-1:
//   prepare(i, slot)  on the calling thread, in order, at most slots.size()
//                     items before make(i) needs it (what only that thread
//                     may draw, such as random numbers);
//   make(i, slot)     on the worker, in order;
//   take(i, slot)     on the calling thread, in order.
// The slots are a ring of at least `batch` items; handing over goes by
// `batch` items so that the threads wake each other rarely.
// A failure in make reaches the caller from take's turn at that item, after
// the items before it were taken, as it would in a plain loop; a failure in
// take stops the worker. With ahead false, or when no thread can be
// started, the same calls run one after the other on the calling thread.
template <class Slot, class Prepare, class Make, class Take>
void WorkAhead(std::size_t n, std::vector<Slot>& slots, std::size_t batch, bool ahead,
               Prepare&& prepare, Make&& make, Take&& take) {
  const std::size_t cap = slots.size();
  if (!ahead || n <= batch || batch == 0 || cap < batch) {
    for (std::size_t i = 0; i < n; ++i) {
      Slot& s = slots[i % cap];
      prepare(i, s);
      make(i, s);
      take(i, s);
    }
    return;
  }

  std::mutex m;
  std::condition_variable madeOne, tookOne;
  std::size_t made = 0, taken = 0;  // published counts, under m
  bool stop = false;
  std::exception_ptr failure;  // from make, at item `made`

  for (std::size_t i = 0; i < n && i < cap; ++i) prepare(i, slots[i]);

  auto work = [&] {
    std::size_t free = 0;  // items below this may be made without asking
    for (std::size_t i = 0; i < n; ++i) {
      if (i >= free) {
        std::unique_lock lock(m);
        tookOne.wait(lock, [&] { return stop || i < taken + cap; });
        if (stop) return;
        free = taken + cap;
      }
      try {
        make(i, slots[i % cap]);
      } catch (...) {
        {
          std::lock_guard lock(m);
          made = i;
          failure = std::current_exception();
        }
        madeOne.notify_one();
        return;
      }
      // Told outside the lock, so that the woken thread does not wait for it.
      if ((i + 1) % batch == 0 || i + 1 == n) {
        {
          std::lock_guard lock(m);
          made = i + 1;
        }
        madeOne.notify_one();
      }
    }
  };

  std::thread worker;
  try {
    worker = std::thread(work);
  } catch (const std::system_error&) {
    // No second thread to be had: the plain loop, the first items already prepared.
    for (std::size_t i = 0; i < n; ++i) {
      Slot& s = slots[i % cap];
      if (i >= cap) prepare(i, s);
      make(i, s);
      take(i, s);
    }
    return;
  }
  // Stops and waits for the worker however this thread leaves.
  struct Join {
    std::thread& t;
    std::mutex& m;
    std::condition_variable& cv;
    bool& stop;
    ~Join() {
      {
        std::lock_guard lock(m);
        stop = true;
      }
      cv.notify_one();
      t.join();
    }
  } join{worker, m, tookOne, stop};

  std::size_t ready = 0;  // items below this are made
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= ready) {
      std::unique_lock lock(m);
      madeOne.wait(lock, [&] { return i < made || failure; });
      if (i >= made) std::rethrow_exception(failure);
      ready = made;
    }
    Slot& s = slots[i % cap];
    take(i, s);
    if (i + cap < n) prepare(i + cap, s);
    if ((i + 1) % batch == 0) {
      {
        std::lock_guard lock(m);
        taken = i + 1;
      }
      tookOne.notify_one();
    }
  }
}

}  // namespace pst::detail

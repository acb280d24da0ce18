// Contacts of a book decoded on a thread of their own, a batch ahead of the
// caller that writes them out: on a machine of two cores an export then
// decodes the next contacts while it writes the present ones. No Qt.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wab/WabBook.h"
#include "platform/wab/WabFile.h"

namespace wab {

class ContactReadAhead {
 public:
  // Reads the k-th contact of the order into contact (emptied first or
  // overwritten whole), with any texts of its record that go with it, left
  // for the caller to decode; false for a damaged record. Runs on the
  // reading thread, in the order's order.
  using Reading = std::function<bool(std::size_t k, Contact& contact, std::vector<StoredText>& texts)>;

  // Reads count contacts with read. What read uses belongs to the reading
  // thread until this object is gone.
  ContactReadAhead(std::size_t count, Reading read);
  ~ContactReadAhead();
  ContactReadAhead(const ContactReadAhead&) = delete;
  ContactReadAhead& operator=(const ContactReadAhead&) = delete;

  // The next contact of the order, valid until the next call; nullptr for
  // a damaged record, and past the last one. Rethrows what reading that
  // contact threw (a book cut short).
  const Contact* Next();
  // The texts read with the contact Next() last handed out (damaged or
  // not); their room is kept from batch to batch.
  const std::vector<StoredText>& Texts() const;

 private:
  // Two batches: one the caller takes from while the thread fills the
  // other. A hand-over per batch, not per contact, keeps waking cheap.
  static constexpr std::size_t kBatch = 256;
  struct Batch {
    Contact contacts[kBatch];
    bool read[kBatch] = {};  // false: damaged
    std::vector<StoredText> texts[kBatch];
  };
  void Run();

  const std::size_t count_;
  const Reading read_;
  std::unique_ptr<Batch[]> batches_;
  // The caller's thread only: contacts handed out, and the failure met.
  std::size_t taken_ = 0;
  std::exception_ptr failure_;
  std::size_t failsAt_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t filled_ = 0;    // batches the thread has finished
  std::size_t released_ = 0;  // batches the caller is done with
  std::size_t errorAt_ = 0;   // the position that threw, when error_ is set
  std::exception_ptr error_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace wab

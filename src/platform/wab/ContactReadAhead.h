// Contacts of a book decoded on a thread of their own, a batch ahead of the
// caller that writes them out: on a machine of two cores an export then
// decodes the next contacts while it writes the present ones. No Qt.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wab/WabBook.h"

namespace wab {

class ContactReadAhead {
 public:
  // Reads book's contacts at the given positions (BookContacts::ReadAt), in
  // that order. The book belongs to the reading thread until this object is
  // gone: the caller may read its Outline()'s folders and groups meanwhile,
  // but not its counts, and may not read contacts from it.
  ContactReadAhead(BookContacts& book, std::vector<std::size_t> positions);
  ~ContactReadAhead();
  ContactReadAhead(const ContactReadAhead&) = delete;
  ContactReadAhead& operator=(const ContactReadAhead&) = delete;

  // The next contact of the order, valid until the next call; nullptr for
  // a damaged record, and past the last position. Rethrows what reading
  // that contact threw (a book cut short).
  const Contact* Next();

 private:
  // Two batches: one the caller takes from while the thread fills the
  // other. A hand-over per batch, not per contact, keeps waking cheap.
  static constexpr std::size_t kBatch = 256;
  struct Batch {
    Contact contacts[kBatch];
    bool read[kBatch] = {};  // false: damaged
  };
  void Run();

  BookContacts& book_;
  const std::vector<std::size_t> positions_;
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

// Contacts of a book decoded on a thread of their own, a few ahead of the
// caller that writes them out: on a machine of two cores an export then
// decodes the next contacts while it writes the present one. No Qt.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
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
  // a damaged record. Rethrows what reading that contact threw (a book cut
  // short). Past the last position, nullptr.
  const Contact* Next();

 private:
  static constexpr std::size_t kAhead = 32;
  void Run();

  BookContacts& book_;
  const std::vector<std::size_t> positions_;
  std::unique_ptr<Contact[]> ring_;
  std::unique_ptr<bool[]> read_;  // false: damaged
  std::exception_ptr error_;      // set with the position that threw
  std::size_t errorAt_ = 0;
  std::atomic<std::size_t> ready_{0};  // contacts the thread has finished
  std::atomic<std::size_t> taken_{0};  // contacts handed to the caller
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace wab

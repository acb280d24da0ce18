// The contacts of a folder as the store keeps them until it is written: each
// one packed as the fields it holds with their lengths, back to back in
// large chunks.
// A contact costs its text plus a few bytes instead of a struct of twenty
// strings with an allocation each, nothing is moved as the list grows, and
// the writer unpacks one contact at a time into the same Contact, whose
// strings keep their room from one contact to the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/Items.h"

namespace pst::detail {

// Every text field of Contact, in declaration order. A field added to
// Contact without its place here (or in the lists below) is a compile error
// (see the check in the .cpp).
inline constexpr std::array<std::string Contact::*, 41> kContactFields{
    &Contact::FirstName, &Contact::MiddleName, &Contact::LastName, &Contact::CompanyName,
    &Contact::BusinessTelephoneNumber, &Contact::BusinessFaxNumber, &Contact::HomeTelephoneNumber,
    &Contact::HomeFaxNumber, &Contact::PagerNumber, &Contact::BusinessAddressStreet,
    &Contact::BusinessAddressCity, &Contact::BusinessAddressState, &Contact::BusinessAddressPostalCode,
    &Contact::BusinessAddressCountry, &Contact::HomeAddressStreet, &Contact::HomeAddressCountry,
    &Contact::Email1Address, &Contact::WebPage, &Contact::OfficeLocation, &Contact::Body,
    &Contact::MobileTelephoneNumber, &Contact::Department, &Contact::JobTitle, &Contact::Title,
    &Contact::Suffix, &Contact::NickName, &Contact::Email1AddressType, &Contact::Email2Address,
    &Contact::Email2AddressType, &Contact::Email3Address, &Contact::Email3AddressType,
    &Contact::HomeAddressCity, &Contact::HomeAddressState, &Contact::HomeAddressPostalCode,
    &Contact::OtherTelephoneNumber, &Contact::PersonalHomePage, &Contact::IMAddress, &Contact::Spouse,
    &Contact::YomiFirstName, &Contact::YomiLastName, &Contact::FullName};
// The lists of texts, and the whole numbers (gender, then the two dates).
inline constexpr std::array<std::vector<std::string> Contact::*, 2> kContactLists{&Contact::Children,
                                                                                 &Contact::Categories};
inline constexpr std::size_t kContactNumbers = 7;

}  // namespace pst::detail

namespace pst {

// Empties every field of c and keeps the room its texts hold, for a Contact
// filled again and again (a pool of spares). Inline, so users of the contact
// model need not link the writer for it.
inline void ClearContact(Contact& c) {
  for (auto field : detail::kContactFields) (c.*field).clear();
  for (auto list : detail::kContactLists) (c.*list).clear();
  c.Gender = 0;
  c.Birthday = {};
  c.Anniversary = {};
}

}  // namespace pst

namespace pst::detail {

class PackedContacts {
 public:
  void Add(const Contact& c);
  std::size_t size() const { return where_.size(); }
  bool empty() const { return where_.empty(); }
  // Contact i into out, reusing out's strings.
  void Unpack(std::size_t i, Contact& out) const;

 private:
  // Large enough to hold whole huge pages (see the .cpp).
  static constexpr std::size_t kChunk = 8 << 20;
  struct Place {
    std::uint32_t chunk, offset;
  };
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t used_ = kChunk;  // in the last chunk; full before the first
  std::size_t lastSize_ = 0;   // of the last chunk
  std::vector<Place> where_;
};

// The contacts of one folder as the messaging layer walks them: a plain
// vector (tests, fixed stores) or a packed list (the store). Iterating a
// packed list hands out one Contact, refilled at each step.
class ContactsView {
 public:
  ContactsView() = default;
  ContactsView(const std::vector<Contact>* plain) : plain_(plain) {}
  ContactsView(const PackedContacts* packed) : packed_(packed) {}

  explicit operator bool() const { return plain_ || packed_; }
  const ContactsView* operator->() const { return this; }
  const ContactsView& operator*() const { return *this; }
  std::size_t size() const { return plain_ ? plain_->size() : packed_ ? packed_->size() : 0; }
  bool empty() const { return size() == 0; }
  // Contact i: in place, or unpacked into scratch.
  const Contact& At(std::size_t i, Contact& scratch) const {
    if (plain_) return (*plain_)[i];
    packed_->Unpack(i, scratch);
    return scratch;
  }

  class Iterator {
   public:
    Iterator(const ContactsView* view, std::size_t i) : view_(view), i_(i) {}
    const Contact& operator*() {
      if (view_->plain_) return (*view_->plain_)[i_];
      view_->packed_->Unpack(i_, current_);
      return current_;
    }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return i_ != o.i_; }

   private:
    const ContactsView* view_;
    std::size_t i_;
    Contact current_;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size()); }

 private:
  const std::vector<Contact>* plain_ = nullptr;
  const PackedContacts* packed_ = nullptr;
};

}  // namespace pst::detail

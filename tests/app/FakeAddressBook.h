// A recording stand-in for the address-book reader: contacts given one by one
// or generated on demand, every call written down, any call able to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/AddressBookReader.h"

namespace testsupport {

class FakeAddressBook : public automation::AddressBookReader {
 public:
  using Contact = std::map<std::string, std::string>;

  // Explicit contacts, used unless a generator is set.
  std::vector<Contact> contacts;
  // Generated book: count contacts whose values come from value(index, key).
  std::int32_t generatedCount = 0;
  std::function<std::string(std::int32_t, const std::string&)> value;

  // "Open:<path>", "GetCount", "Select:<i>", "GetValue:<key>"; off for big books.
  bool record = true;
  std::vector<std::string> calls;
  // Runs before every call with its record text; throwing from it makes the
  // call fail as the real component's failures do.
  std::function<void(const std::string&)> beforeCall;
  // Damaged records the reader reports having skipped.
  std::int32_t skipped = 0;

  void Open(const std::string& path) override { Note("Open:" + path); }
  std::int32_t GetCount() override {
    Note("GetCount");
    return value ? generatedCount : static_cast<std::int32_t>(contacts.size());
  }
  void Select(std::int32_t index) override {
    Note("Select:" + std::to_string(index));
    if (index < 0 || index >= (value ? generatedCount : static_cast<std::int32_t>(contacts.size())))
      throw automation::AutomationError("Select: no contact " + std::to_string(index));
    selected_ = index;
  }
  std::int32_t SkippedRecords() const override { return skipped; }
  std::string GetValue(const std::string& key) override {
    if (record) Note("GetValue:" + key);
    if (selected_ < 0) return {};
    if (value) return value(selected_, key);
    const Contact& c = contacts[static_cast<std::size_t>(selected_)];
    auto it = c.find(key);
    return it == c.end() ? std::string() : it->second;
  }

 private:
  void Note(const std::string& call) {
    if (beforeCall) beforeCall(call);
    if (record) calls.push_back(call);
  }
  std::int32_t selected_ = -1;
};

// Registers the fake as "warjo.wab" for the life of the object.
struct FakeReaderRegistration {
  std::shared_ptr<FakeAddressBook> reader = std::make_shared<FakeAddressBook>();
  automation::ScopedRegistration registration{automation::kAddressBookReaderProgId,
                                              automation::SameObject(reader)};
};

}  // namespace testsupport

// A recording Outlook and a scripted address-book reader for the Outlook
// export's tests. Every member call is written to one log ("app1.version",
// "ns1.AddStoreEx(/out/x.pst,3)", ...); any chosen call can be made to fail;
// every object counts itself so tests see that nothing is left held.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/AddressBookReader.h"
#include "platform/automation/Automation.h"
#include "platform/automation/Outlook.h"

namespace fakes {

struct Recorder {
  std::vector<std::string> log;
  bool logging = true;     // off for very large books: calls are only counted
  long calls = 0;
  long failAt = -1;        // the 0-based call that throws, or -1
  std::string version = "16.0.0.0";
  int apps = 0, namespaces = 0;
  std::vector<std::vector<std::string>> contacts;  // the book: 20 values each in reader key order
  std::string lastStoreAttached;
  std::vector<std::string> saved;  // "folder: FirstName=..|..." of every saved item, while logging

  // Logs a call and throws when it is the one chosen to fail.
  template <class Describe>
  void Call(Describe&& describe) {
    Record(std::function<std::string()>(std::forward<Describe>(describe)));
  }
  void Record(const std::function<std::string()>& describe);
};

// Objects alive right now, of every kind below.
int LiveObjects();

// Registers the fake Outlook and reader for the life of the object.
class FakeComponents {
 public:
  explicit FakeComponents(std::shared_ptr<Recorder> recorder);
  ~FakeComponents();

 private:
  automation::ScopedRegistration outlook_, reader_;
};

// A book of n contacts whose values say which contact and field they are ("c3.Surname").
std::vector<std::vector<std::string>> NumberedBook(int n);

}  // namespace fakes

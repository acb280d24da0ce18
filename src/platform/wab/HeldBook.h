// What the real reader offers beyond the designed cursor: the book it holds
// open. The whole-book model and the read-ahead work on the same bytes
// instead of opening and checking the file a second time. A caller asks the
// reader for it as COM callers ask for a second interface; readers that are
// not over a .wab file (the tests' stand-ins) do not offer it, and callers
// then do without.
#pragma once

#include <string>

#include "platform/wab/WabFile.h"

namespace automation {
class AddressBookReader;
}

namespace wab {

class HeldBook {
 public:
  virtual ~HeldBook() = default;
  // The open file; nullptr when nothing is open.
  virtual const WabFile* File() const = 0;
  // The code page 8-bit texts are decoded from; a change applies from the next read.
  virtual int CodePage() const = 0;
  virtual void SetCodePage(int codePage) = 0;
  // The record the last Select read, for decoding it whole without reading
  // it again; nullptr when none is selected or its record is damaged.
  virtual const Record* SelectedRecord() const = 0;
  // GetValue in two halves, for a pass that selects on one thread and
  // decodes on another: the selected contact's field as the book stores it
  // (empty when it has none), valid until the book is closed; and its
  // decoding, which throws as GetValue does when the book was cut short
  // meanwhile. Decode may run beside Select.
  virtual StoredText GetStoredValue(const std::string& key) const = 0;
  virtual void Decode(const StoredText& text, std::string& out) const = 0;
};

// The book reader holds, or nullptr when it is not over a .wab file.
HeldBook* HeldBookOf(automation::AddressBookReader& reader);
const HeldBook* HeldBookOf(const automation::AddressBookReader& reader);

}  // namespace wab

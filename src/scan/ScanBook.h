// The scan: every contact of an open reader into the contact tree, one node
// and one record per contact, in reader order. The window's scan command and
// the tests run this one loop.
#pragma once

#include <cstdint>

class QTreeWidgetItem;

namespace automation {
class AddressBookReader;
}

namespace scan {

class ContactTree;

// What the scan tells whoever shows its progress.
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;
  // Once the count is known, before the first contact is read.
  virtual void Prepare(std::int32_t count) = 0;
  // After each contact's node and record are in the tree: 1, 2, ..., count.
  virtual void SetPosition(std::int64_t position) = 0;
  // The node just made for the contact at index, before SetPosition.
  virtual void Added(std::int32_t /*index*/, QTreeWidgetItem* /*node*/) {}
};

// Asks the reader, already open, for its count, then reads each contact
// (Select, then the 21 fields in kScanReadOrder) and adds its node under the
// group of its name with its record, keyed by index and the time of reading.
// ProgressCounter is 1 before the first contact and grows by one after each.
// Failures of the reader or the tree propagate; the contacts already added
// stay in the tree with their records. Returns the count.
std::int32_t ScanBook(automation::AddressBookReader& reader, ContactTree& tree, ScanProgress* progress);

}  // namespace scan

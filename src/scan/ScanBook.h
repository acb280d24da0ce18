// The scan: every contact of an open reader into the contact tree's model,
// one node and one record per contact, in reader order. The window's scan
// command, addrivo-convert and the tests run this one loop; no toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "ContactRecord.h"

namespace automation {
class AddressBookReader;
}

namespace scan {

class TreeModel;

// What the scan tells whoever shows its progress.
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;
  // Once the count is known, before the first contact is read.
  virtual void Prepare(std::int32_t count) = 0;
  // After each contact's node and record are in the tree: 1, 2, ..., count.
  virtual void SetPosition(std::int64_t position) = 0;
};

// Asks the reader, already open, for its count, then reads each contact
// (Select, then the 21 fields in kScanReadOrder) and adds its node under the
// group of its name with its record, keyed by index and the time of reading.
// A reader that names its records (SelectedRecordId) ties each node to the
// record it came from. Failures of the reader or the tree propagate; the
// contacts already added stay in the tree with their records. Returns the
// count.
std::int32_t ScanBook(automation::AddressBookReader& reader, TreeModel& tree, ScanProgress* progress);

// One contact as the scan read it: its fields in record order.
using ContactFields = std::array<std::string, kRecordFieldCount>;
// Called once per contact, after its fields are read, with its 0-based index.
using ContactSink = std::function<void(std::int32_t index, const ContactFields& fields)>;

// The scan's loop without a tree, for addrivo-convert's listing: the same
// reads in the same order, each contact handed to sink. ScanBook runs on it.
std::int32_t ScanContacts(automation::AddressBookReader& reader, ScanProgress* progress, const ContactSink& sink);

}  // namespace scan

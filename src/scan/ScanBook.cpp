#include "ScanBook.h"

#include <algorithm>
#include <array>
#include <string>

#include "ContactKey.h"
#include "ContactRecord.h"
#include "TreeModel.h"
#include "platform/automation/AddressBookReader.h"

namespace scan {

std::int32_t ScanContacts(automation::AddressBookReader& reader, ScanProgress* progress, const ContactSink& sink) {
  const std::int32_t count = reader.GetCount();
  if (progress) progress->Prepare(count);
  // Kept from contact to contact: the key strings and the values.
  std::array<std::string, kRecordFieldCount> keys;
  for (int r = 0; r < kRecordFieldCount; ++r) keys[r] = std::string(automation::Key(kScanReadOrder[r]));
  ContactFields values;
  std::int64_t position = 1;
  for (std::int32_t i = 0; i < count; ++i) {
    reader.Select(i);
    for (int r = 0; r < kRecordFieldCount; ++r) values[kRecordPositionOfRead[r]] = reader.GetValue(keys[r]);
    if (sink) sink(i, values);
    if (progress) progress->SetPosition(position);
    ++position;
  }
  return count;
}

std::int32_t ScanBook(automation::AddressBookReader& reader, TreeModel& tree, ScanProgress* progress) {
  // The count is only a hint of the room needed: a reader may claim anything.
  struct Reserving final : ScanProgress {
    Reserving(TreeModel& tree, ScanProgress* next) : tree(tree), next(next) {}
    void Prepare(std::int32_t count) override {
      if (count > 0) tree.Reserve(static_cast<std::size_t>(std::min<std::int32_t>(count, 1 << 20)));
      if (next) next->Prepare(count);
    }
    void SetPosition(std::int64_t position) override {
      if (next) next->SetPosition(position);
    }
    TreeModel& tree;
    ScanProgress* next;
  } reserving(tree, progress);

  std::string record;
  ContactKeyClock clock;
  return ScanContacts(reader, &reserving, [&](std::int32_t i, const ContactFields& values) {
    record.clear();
    for (int f = 0; f < kRecordFieldCount; ++f) {
      if (f > 0) record += kSeparator;
      record += EncodeField(values[f]);
    }
    const std::string& name = values[0];
    // The record goes on before the node joins the tree, so the view hears
    // of each contact once; looked up by its key, the node has it.
    const NodeId node = tree.AddNode(clock.KeyNow(i), DisplayText(name), kImageContacts, kNoImage, GroupKeyFor(name),
                                     record);
    if (const auto id = reader.SelectedRecordId()) tree.SetSubject(node, NodeSubject::Contact, *id);
    tree.Refresh();
    tree.ExpandRoot(true);
  });
}

}  // namespace scan

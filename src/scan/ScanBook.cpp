#include "ScanBook.h"

#include <algorithm>
#include <array>
#include <string>

#include "ContactKey.h"
#include "ContactRecord.h"
#include "ContactTree.h"
#include "ProgressCounter.h"
#include "platform/automation/AddressBookReader.h"

namespace scan {
namespace {

// Record position of each read, in kScanReadOrder: only CellPhone (read
// 20th) moves, to position 15.
constexpr std::array<int, kRecordFieldCount> kRecordPositionOfRead{0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                                                   11, 12, 13, 14, 16, 17, 18, 19, 15, 20};

constexpr bool ReadsCoverTheRecord() {
  for (int r = 0; r < kRecordFieldCount; ++r)
    if (kScanReadOrder[r] != kRecordKeys[kRecordPositionOfRead[r]]) return false;
  return true;
}
static_assert(ReadsCoverTheRecord(), "each read must land on the record position of its key");

}  // namespace

std::int32_t ScanBook(automation::AddressBookReader& reader, ContactTree& tree, ScanProgress* progress) {
  const std::int32_t count = reader.GetCount();
  if (progress) progress->Prepare(count);
  ProgressCounter = 1;
  // The count is only a hint of the room needed: a reader may claim anything.
  if (count > 0) tree.Reserve(std::min<std::int32_t>(count, 1 << 20));

  // Kept from contact to contact: the key strings, the values and the record.
  std::array<std::string, kRecordFieldCount> keys;
  for (int r = 0; r < kRecordFieldCount; ++r) keys[r] = std::string(kScanReadOrder[r]);
  std::array<QString, kRecordFieldCount> values;
  QString record;
  ContactKeyClock clock;
  for (std::int32_t i = 0; i < count; ++i) {
    reader.Select(i);
    for (int r = 0; r < kRecordFieldCount; ++r)
      values[kRecordPositionOfRead[r]] = QString::fromStdString(reader.GetValue(keys[r]));
    record.clear();
    for (int f = 0; f < kRecordFieldCount; ++f) {
      if (f > 0) record += kSeparator;
      record += EncodeField(values[f]);
    }
    const QString key = clock.KeyNow(i);
    const QString& name = values[0];
    // The record goes on before the node joins the tree, so the view hears
    // of each contact once; looked up by its key, the node has it.
    QTreeWidgetItem* node = tree.AddNode(key, DisplayText(name), kImageContacts, kNoImage, GroupKeyFor(name), record);
    tree.Refresh();
    tree.ExpandRoot(true);
    if (progress) {
      progress->Added(i, node);
      progress->SetPosition(ProgressCounter);
    }
    ++ProgressCounter;
  }
  return count;
}

}  // namespace scan

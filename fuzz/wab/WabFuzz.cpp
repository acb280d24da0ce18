// Any bytes through Open, GetCount, every Select and every GetValue, then
// through the whole-book model with deleted contacts recovered, and the
// contact-at-a-time model beside the reader (the exports' way): the reader
// must fail with AutomationError or read, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A double-byte page on odd sizes, so 8-bit strings take both decoding paths.
  wab::WabReader reader(size % 2 ? 932 : 1252);
  try {
    reader.OpenBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz.wab");
  } catch (const automation::AutomationError&) {
    return 0;
  }
  {
    const wab::Book book = wab::ReadBook(wab::WabFile::Parse(std::string(reinterpret_cast<const char*>(data), size)),
                                         {true, size % 2 ? 932 : 1252});
    volatile std::size_t objects = book.folders.size() + book.contacts.size() + book.groups.size();
    for (const auto& g : book.groups) objects = objects + g.members.size();
    (void)objects;
  }
  const std::int32_t count = reader.GetCount();
  volatile std::size_t total = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    reader.Select(i);
    for (auto key : automation::kReaderFieldKeys) total = total + reader.GetValue(std::string(key)).size();
    total = total + reader.GetValue("Country").size();
    total = total + reader.GetValue("HomeCountry").size();
  }
  // Each selected record decoded whole, and every group member looked up.
  wab::BookContacts contacts(*reader.File(), {false, 1252});
  wab::Contact c;
  for (std::int32_t i = 0; i < count; ++i) {
    reader.Select(i);
    if (const wab::Record* r = reader.SelectedRecord()) total = total + contacts.Decode(*r, c);
  }
  for (const auto& g : contacts.Outline().groups)
    for (const auto& m : g.members) total = total + contacts.ReadId(m.id, c);
  (void)reader.SkippedRecords();
  return 0;
}

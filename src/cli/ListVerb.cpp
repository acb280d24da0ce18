#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "JsonText.h"
#include "Verbs.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "scan/ScanBook.h"

namespace cli {

void PrintSkippedRecords(const wab::WabFile& file, std::uint64_t total) {
  // Enough to see what kind of damage it is, not a screenful per record.
  constexpr std::size_t kShown = 20;
  const auto& list = file.SkippedList();
  std::size_t shown = 0;
  for (; shown < list.size() && shown < kShown; ++shown) {
    const auto& s = list[shown];
    std::fprintf(stderr, "addrivo-convert: record 0x%X at offset %u skipped: %s\n", s.recordId, s.offset,
                 s.why.c_str());
  }
  if (total > shown)
    std::fprintf(stderr, "addrivo-convert: ... and %llu more\n", static_cast<unsigned long long>(total - shown));
}

int RunList(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--all") return RunListAll(args);
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(UsageText(), stdout);
      return 0;
    }
  }
  if (args.size() != 1 || args[0].empty() || (args[0].size() > 1 && args[0][0] == '-')) {
    std::fprintf(stderr, "addrivo-convert: list takes one address book\n\n%s", UsageText());
    return 2;
  }
  // Each pass makes its own reader and drops it at the end, as the window does.
  auto reader = automation::Registry::Instance().Create<automation::AddressBookReader>(
      automation::kAddressBookReaderProgId);
  reader->Open(args[0]);
  // The window's scan, the same reads; each contact is listed under the
  // reader's keys in the reader's order, from its place in the record.
  std::vector<std::pair<std::string, int>> keys;
  for (std::size_t k = 0; k < automation::kDesignedFieldCount; ++k) {
    const auto field = static_cast<automation::ReaderField>(k);
    keys.emplace_back(std::string(automation::Key(field)), scan::RecordPositionOf(field));
  }
  std::string line;
  bool writing = true;
  scan::ScanContacts(*reader, nullptr, [&](std::int32_t, const scan::ContactFields& fields) {
    if (!writing) return;
    line.clear();
    line += '{';
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (k > 0) line += ',';
      AppendJsonString(line, keys[k].first);
      line += ':';
      AppendJsonString(line, fields[keys[k].second]);
    }
    line += "}\n";
    writing = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
  });
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("addrivo-convert: cannot write the contact list to standard output\n", stderr);
    return 1;
  }
  const std::int32_t skipped = reader->SkippedRecords();
  if (skipped > 0)
    std::fprintf(stderr, "addrivo-convert: %d damaged record%s skipped in \"%s\"\n", skipped,
                 skipped == 1 ? "" : "s", args[0].c_str());
  if (const auto* book = dynamic_cast<const wab::WabReader*>(reader.get()); book && book->File() && skipped > 0)
    PrintSkippedRecords(*book->File(), static_cast<std::uint64_t>(skipped));
  return 0;
}

}  // namespace cli

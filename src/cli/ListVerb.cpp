#include <cstdio>
#include <memory>
#include <string>

#include "JsonText.h"
#include "Verbs.h"
#include "platform/automation/AddressBookReader.h"

namespace cli {

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
  const std::int32_t count = reader->GetCount();
  std::string line;
  for (std::int32_t i = 0; i < count; ++i) {
    reader->Select(i);
    line.clear();
    line += '{';
    bool first = true;
    for (auto key : automation::kReaderFieldKeys) {
      if (!first) line += ',';
      first = false;
      AppendJsonString(line, key);
      line += ':';
      AppendJsonString(line, reader->GetValue(std::string(key)));
    }
    line += "}\n";
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size()) break;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("addrivo-convert: cannot write the contact list to standard output\n", stderr);
    return 1;
  }
  if (const std::int32_t skipped = reader->SkippedRecords(); skipped > 0)
    std::fprintf(stderr, "addrivo-convert: %d damaged record%s skipped in \"%s\"\n", skipped,
                 skipped == 1 ? "" : "s", args[0].c_str());
  return 0;
}

}  // namespace cli

#include <cstdio>
#include <memory>
#include <string>

#include "Verbs.h"
#include "platform/automation/AddressBookReader.h"

namespace cli {
namespace {

// JSON string body: quotes, backslash and control characters escaped;
// everything else (UTF-8 included) passes through.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04X", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
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
      AppendJsonString(line, std::string(key));
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

#include "PathNames.h"

#include "platform/codepage/CodePage.h"
#include "platform/os/Os.h"

namespace exports {

std::string GetFileName(const std::string& path) {
  const auto sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) return folder;
  return folder + "/";
}

std::string ToLowerUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = codepage::DecodeUtf8(text, i, &cp);
    if (len == 0) {
      out += text[i++];
      continue;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp);
    } else {
      codepage::AppendUtf8(out, os::ToLower(cp));
    }
    i += len;
  }
  return out;
}

bool HasBookExtension(const std::string& bookPath) {
  const std::string name = GetFileName(ToLowerUtf8(bookPath));
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".wab") == 0;
}

std::string OutputStem(const std::string& bookPath) {
  std::string name = GetFileName(ToLowerUtf8(bookPath));
  if (HasBookExtension(name)) name.resize(name.size() - 4);
  name.erase(0, name.find_first_not_of('.'));
  return name.empty() ? std::string("contacts") : name;
}

std::string ExportFileName(const std::string& bookPath, std::string_view extension) {
  return OutputStem(bookPath) + std::string(extension);
}

std::string SpreadsheetFileName(const std::string& bookPath) { return ExportFileName(bookPath, ".xls"); }

}  // namespace exports

#include "platform/help/ChmFile.h"

#include <chm_lib.h>

#include "platform/help/ChmCheck.h"
#include "platform/os/LittleEndian.h"
#include "platform/os/Os.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace help {
namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b)); });
}

bool IsPage(const std::string& path) {
  return EndsWithNoCase(path, ".html") || EndsWithNoCase(path, ".htm");
}

// Reads a NUL-terminated text out of one #SYSTEM entry.
std::string EntryText(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

int CollectFile(chmFile*, chmUnitInfo* ui, void* context) {
  auto* files = static_cast<std::vector<std::string>*>(context);
  std::string path(ui->path);
  // Internal objects ("/#SYSTEM", "/$WWKeywordLinks/...") are not content.
  if (path.size() > 1 && path[0] == '/' && path[1] != '#' && path[1] != '$' && path.back() != '/')
    files->push_back(std::move(path));
  return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

namespace {

// A sealed in-memory copy of the regular file at path, or -1. The file is
// opened once and never by name again, so what is checked is what chmlib
// reads; non-blocking, so a FIFO in its place cannot hang the program.
int SealedCopy(const std::string& path, ChmStatus* status) {
  *status = ChmStatus::NotFound;
  const int src = os::OpenForReading(path);
  if (src < 0) return -1;
  os::FileInfo st;
  if (!os::Stat(src, st) || !st.regular) {
    os::Close(src);
    return -1;
  }
  *status = ChmStatus::NotHelpFile;
  if (st.size > ChmFile::kMaxFileSize) {
    os::Close(src);
    return -1;
  }
  bool readFailed = false;
  const int copy = os::SealedCopy(src, ChmFile::kMaxFileSize, readFailed);
  os::Close(src);
  if (copy < 0 && readFailed) *status = ChmStatus::NotFound;
  return copy;
}

}  // namespace

std::unique_ptr<ChmFile> ChmFile::Open(const std::string& path, ChmStatus* status) {
  const int copy = SealedCopy(path, status);
  if (copy < 0) return nullptr;
  // The copy, by a name that reaches exactly this descriptor.
  const std::string name = "/proc/self/fd/" + std::to_string(copy);
  chmFile* handle = ChmStructureIsSound(name) ? chm_open(name.c_str()) : nullptr;
  if (!handle) {
    os::Close(copy);
    *status = ChmStatus::NotHelpFile;
    return nullptr;
  }
  std::unique_ptr<ChmFile> file(new ChmFile(handle, copy));
  file->ReadSystemInfo();
  *status = ChmStatus::Ok;
  return file;
}

ChmFile::ChmFile(chmFile* handle, int copy) : handle_(handle), copy_(copy) {}

ChmFile::~ChmFile() {
  chm_close(handle_);
  os::Close(copy_);
}

std::optional<std::string> ChmFile::Read(const std::string& path) const { return ReadObject(Normalize(path)); }

std::optional<std::string> ChmFile::ReadObject(const std::string& exact_path) const {
  chmUnitInfo ui{};
  if (exact_path.size() > CHM_MAX_PATHLEN ||
      chm_resolve_object(handle_, exact_path.c_str(), &ui) != CHM_RESOLVE_SUCCESS)
    return std::nullopt;
  if (ui.length > kMaxObjectSize) return std::nullopt;
  std::string data(static_cast<std::size_t>(ui.length), '\0');
  if (ui.length == 0) return data;
  const LONGINT64 got = chm_retrieve_object(handle_, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                            static_cast<LONGINT64>(ui.length));
  // A short read means a damaged compressed section: better nothing than half a page.
  if (got != static_cast<LONGINT64>(ui.length)) return std::nullopt;
  return data;
}

bool ChmFile::Contains(const std::string& path) const {
  const std::string normalized = Normalize(path);
  chmUnitInfo ui{};
  return normalized.size() <= CHM_MAX_PATHLEN &&
         chm_resolve_object(handle_, normalized.c_str(), &ui) == CHM_RESOLVE_SUCCESS &&
         normalized.back() != '/';
}

std::vector<std::string> ChmFile::Files() const {
  std::vector<std::string> files;
  chm_enumerate(handle_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, &CollectFile, &files);
  return files;
}

void ChmFile::ReadSystemInfo() {
  // #SYSTEM: a 4-byte version, then entries of a 2-byte code, a 2-byte length
  // and that many bytes, all little-endian.
  const auto system = Read("/#SYSTEM");
  if (!system) return;
  const std::string& s = *system;
  auto u16 = [&s](std::size_t at) { return unsigned{le::Get16(s.data() + at)}; };
  std::size_t at = 4;
  while (at + 4 <= s.size()) {
    const unsigned code = u16(at);
    const std::size_t length = u16(at + 2);
    at += 4;
    if (length > s.size() - at) break;  // a damaged entry ends the list
    const std::string text = EntryText(s.substr(at, length));
    switch (code) {
      case 0: contents_file_ = text.empty() ? "" : Normalize(text); break;
      case 1: index_file_ = text.empty() ? "" : Normalize(text); break;
      case 2: default_topic_ = text.empty() ? "" : Normalize(text); break;
      case 3: title_ = text; break;
      default: break;
    }
    at += length;
  }
}

std::vector<std::string> ChmFile::Pages() const {
  std::vector<std::string> pages;
  for (std::string& f : Files())
    if (IsPage(f)) pages.push_back(std::move(f));
  return pages;
}

std::string ChmFile::StartPage() const {
  if (!default_topic_.empty() && Contains(default_topic_)) return default_topic_;
  for (const char* usual : {"/index.html", "/index.htm", "/default.html", "/default.htm"})
    if (Contains(usual)) return usual;
  for (const std::string& f : Files())
    if (IsPage(f)) return f;
  return {};
}

std::string ChmFile::Normalize(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  while (start <= p.size()) {
    std::size_t end = p.find('/', start);
    if (end == std::string::npos) end = p.size();
    const std::string part = p.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  if (out.empty()) return "/";
  if (!p.empty() && p.back() == '/') out += '/';
  return out;
}

}  // namespace help

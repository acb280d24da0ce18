// Read access to a compiled HTML Help file (.chm) through chmlib.
//
// Plain C++, no Qt, so the reading can be tested on its own. Paths inside the
// file are absolute and start with "/" ("/intro.html"); relative ones are
// taken from the root. Nothing here throws on bad input: opening reports a
// status, reading reports an empty optional.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace help {

enum class ChmStatus {
  Ok,
  NotFound,     // no such file, or it cannot be read
  NotHelpFile,  // the file is there but is not a compiled help file, or is damaged
};

class ChmFile {
 public:
  // Largest object we are willing to hold in memory; anything bigger in a
  // help file means its directory is damaged.
  static constexpr std::uint64_t kMaxObjectSize = 64u * 1024u * 1024u;
  // Largest help file we open; it is copied into memory whole.
  static constexpr std::uint64_t kMaxFileSize = 256u * 1024u * 1024u;

  // Opens the file at path (a local 8-bit file name). On failure returns null
  // and sets *status. The file is read once, into a sealed copy in memory;
  // the structure check and chmlib both read that copy, so a file changed
  // or swapped after the check is never what chmlib sees.
  static std::unique_ptr<ChmFile> Open(const std::string& path, ChmStatus* status);

  ~ChmFile();
  ChmFile(const ChmFile&) = delete;
  ChmFile& operator=(const ChmFile&) = delete;

  // The whole object at path, or nothing when it is missing or unreadable.
  std::optional<std::string> Read(const std::string& path) const;
  bool Contains(const std::string& path) const;
  // Every ordinary file the help file holds (no internal "#" or "$" objects,
  // no folders), in the order the file lists them.
  std::vector<std::string> Files() const;

  // From the file's system information; empty when the file does not say.
  const std::string& Title() const { return title_; }
  const std::string& DefaultTopic() const { return default_topic_; }
  const std::string& ContentsFile() const { return contents_file_; }
  const std::string& IndexFile() const { return index_file_; }

  // The page to show first: the default topic when the file has it, else a
  // usual start page, else the first page it holds. Empty when it holds no page.
  std::string StartPage() const;
  // Every page (.htm or .html) the file holds, in listing order.
  std::vector<std::string> Pages() const;

  // "intro.html", "./intro.html", "/intro.html" all become "/intro.html";
  // "." and ".." segments are resolved without ever leaving the root.
  static std::string Normalize(const std::string& path);

 private:
  ChmFile(chmFile* handle, int copy);
  void ReadSystemInfo();
  std::optional<std::string> ReadObject(const std::string& exact_path) const;

  chmFile* handle_;
  int copy_;  // the sealed copy chmlib reads
  std::string title_, default_topic_, contents_file_, index_file_;
};

}  // namespace help

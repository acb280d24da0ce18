// Reads a personal folders file back through libpff, a reader nobody here
// wrote: the store's name and the folder tree as libpff finds it through
// the hierarchy and contents tables, with chosen properties of every item.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace psttest {

struct PffItem {
  std::map<std::uint32_t, std::string> text;      // property id (or named id) -> UTF-8
  std::map<std::uint32_t, std::uint32_t> number;  // property id -> 32-bit value
  std::map<std::uint32_t, std::string> binary;    // property id -> raw bytes
};

struct PffFolder {
  std::string name;
  std::vector<PffFolder> folders;
  std::size_t itemCount = 0;       // items the contents table lists
  std::vector<PffItem> items;      // all of them, or the chosen ones in order
  const PffFolder* Find(const std::string& child) const;
};

struct PffStore {
  std::string name;
  bool unicode = false;
  PffFolder root;
};

// Which properties to read from each item; ids >= 0x8000 are named
// properties, looked up by libpff through the file's name-to-id map.
struct PffWanted {
  std::vector<std::uint32_t> text, number, binary;
  std::vector<int> onlyItems;  // when set, just these item indices per folder
};

// asciiCodePage: how libpff should decode 8-bit text (0 = its default).
// Throws std::runtime_error with libpff's message when it cannot read.
PffStore ReadWithLibpff(const std::filesystem::path& file, const PffWanted& wanted,
                        int asciiCodePage = 0);

}  // namespace psttest

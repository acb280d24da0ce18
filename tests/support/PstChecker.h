// A structural checker for personal folders files (ANSI and Unicode),
// written apart from the writer so that it catches the writer's mistakes:
// header and page/block checksums and signatures, page types, both B-trees
// (order, key ranges, levels), data and subnode trees, allocation maps
// against the space really in use, free-space totals, and the heaps, property
// bags and tables inside every node whose data is not encoded. Only the
// file header is decoded with the writer's own struct (pst::detail::PstHeader);
// Outlook's files and the outside readers hold that one to the format.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// How a file's heaps are laid out where [MS-PST] allows several layouts:
// each count is of heaps that break a rule Outlook's own files keep.
struct PstLayout {
  std::size_t propertyContexts = 0, tables = 0;
  std::size_t bthHeaderNotFirst = 0;   // hid 0x20 is not the BTH header of the bag or row index
  std::size_t tableInfoNotSecond = 0;  // a table's header is not at hid 0x40
  std::size_t emptyBthWithRoot = 0;    // a BTH of no records whose root is not 0
  std::size_t bthLevelsNeedless = 0;   // index levels over records that fit one leaf
  bool Kept() const { return !bthHeaderNotFirst && !tableInfoNotSecond && !emptyBthWithRoot && !bthLevelsNeedless; }
};

struct PstCheck {
  bool unicode = false;
  int cryptMethod = 0;   // heaps are checked unless 2 (cyclic encoding)
  std::uint64_t fileSize = 0;
  std::uint64_t markedUnused = 0;  // bytes the maps mark that nothing uses
  // Blocks whose reference count is not one more than the references found
  // to them, and blocks nothing refers to.
  std::size_t refCountMismatches = 0, unreferencedBlocks = 0;
  std::size_t nodes = 0, blocks = 0, nbtPages = 0, bbtPages = 0, amaps = 0;
  int nbtLevels = 0, bbtLevels = 0;
  std::size_t heaps = 0, propertyContexts = 0, tables = 0, tableRows = 0;
  PstLayout layout;
  std::vector<std::string> errors;

  bool ok() const { return errors.empty(); }
  std::string Report() const;  // the first errors, one a line
};

PstCheck CheckPstFile(const std::filesystem::path& file);
PstCheck CheckPstBytes(const std::string& bytes);

// Raw property values of one node's property bag (unencoded files only):
// tag (id << 16 | type) to the value's bytes; values stored in the 4-byte
// slot come back as 4 bytes (booleans as 1 byte).
using PstProperties = std::map<std::uint32_t, std::string>;
// A table: columns by tag, and each row as the cells that exist.
struct PstTable {
  std::vector<std::uint32_t> columns;
  std::vector<PstProperties> rows;
};

class PstFile {
 public:
  explicit PstFile(const std::filesystem::path& file);  // throws std::runtime_error
  ~PstFile();
  bool unicode() const;
  std::vector<std::uint32_t> Nodes() const;
  std::uint32_t Parent(std::uint32_t nid) const;
  PstProperties Properties(std::uint32_t nid) const;
  PstTable Table(std::uint32_t nid) const;
  // A node's data stream, as the bytes of its blocks in order.
  std::string NodeStream(std::uint32_t nid) const;
  // A subnode's plain stream (e.g. a long value) by its id inside the node.
  std::string SubnodeStream(std::uint32_t nid, std::uint32_t subnid) const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace testsupport

// What the property and table layer hands to the node database: a node's
// data stream, already cut into blocks, and its private subnodes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/pst/Bytes.h"

namespace pst::detail {

// A stream as the payloads of its data blocks, in order; empty = no data.
struct Stream {
  std::vector<Bytes> blocks;
  std::size_t size() const {
    std::size_t n = 0;
    for (const auto& b : blocks) n += b.size();
    return n;
  }
};

struct Subnode;

struct NodeContent {
  Stream data;
  std::vector<Subnode> subnodes;
  // Instead of data: a block already written for another node, shared the
  // way Outlook shares the block of an empty table between its users.
  std::uint64_t sharedBlock = 0;
};

struct Subnode {
  std::uint32_t nid = 0;
  NodeContent content;
};

// Header values the messaging layer decides and the node database writes.
struct HeaderInfo {
  std::array<std::uint32_t, 32> rgnid{};
  std::uint32_t unique = 0;
};

// Cuts a plain stream into full blocks of at most maxBlock bytes.
inline Stream SplitStream(const std::uint8_t* p, std::size_t n, std::size_t maxBlock) {
  Stream s;
  for (std::size_t off = 0; off < n; off += maxBlock) {
    std::size_t len = n - off < maxBlock ? n - off : maxBlock;
    s.blocks.emplace_back(p + off, p + off + len);
  }
  return s;
}

// Node id types (the low five bits of a node id).
enum NidType : std::uint32_t {
  kNidInternal = 0x01,
  kNidNormalFolder = 0x02,
  kNidSearchFolder = 0x03,
  kNidNormalMessage = 0x04,
  kNidSearchUpdateQueue = 0x06,
  kNidSearchCriteria = 0x07,
  kNidHierarchyTable = 0x0D,
  kNidContentsTable = 0x0E,
  kNidAssocContentsTable = 0x0F,
  kNidSearchContentsTable = 0x10,
  kNidLtp = 0x1F,
};

constexpr std::uint32_t MakeNid(std::uint32_t index, std::uint32_t type) {
  return (index << 5) | type;
}

}  // namespace pst::detail

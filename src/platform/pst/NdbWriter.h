// The node database of a new file, written in one pass: blocks and data
// trees as nodes arrive, then the two B-trees, the allocation maps, the
// density list and finally the header.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/NdbFormat.h"
#include "platform/pst/NodeContent.h"

namespace pst::detail {

// Where the bytes go. Writes arrive at rising offsets; gaps are zero-filled.
// Patch() goes back to fill in pages written last (maps, header). Blocks
// are gathered in a buffer of its own and handed to the stream a large
// piece at a time: a block costs a copy, not a call into the stream.
class FileSink {
 public:
  FileSink(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
  // Hands what is gathered to the stream; a failure then shows in the
  // stream's own error state when it is flushed or closed.
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  void Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n);
  void ZeroTo(std::uint64_t offset);
  void Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t n);
  std::uint64_t position() const { return pos_; }

 private:
  static constexpr std::size_t kBuffer = 1 << 20;
  void Put(const std::uint8_t* data, std::size_t n);
  void Drain();
  void Fail(const char* what) const;
  std::FILE* file_;
  std::string name_;
  std::uint64_t pos_ = 0;  // including what is gathered
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t held_ = 0;
};

// Counts of what was written, for tests and benchmarks.
struct NdbStats {
  std::uint64_t fileSize = 0;
  std::size_t blocks = 0, nodes = 0, nbtPages = 0, bbtPages = 0;
  int nbtLevels = 0, bbtLevels = 0;
};

template <class F>
class NdbWriter {
 public:
  using Id = typename F::Id;
  explicit NdbWriter(FileSink& sink);

  void AddNode(std::uint32_t nid, std::uint32_t parentNid, const NodeContent& content);
  // A one-block stream that several nodes use; each use counts a reference.
  // Throws PstError when the stream needs more than one block.
  Id AddSharedBlock(const Stream& s);
  NdbStats Finish(const HeaderInfo& info);

 private:
  struct BbtEntry { Id bid; Id ib; std::uint16_t cb; std::uint16_t refs; };
  struct NbtEntry { std::uint32_t nid; Id data; Id sub; std::uint32_t parent; };
  struct Ref { Id key; Id bid; Id ib; };
  struct SubnodeEntry { std::uint32_t nid; Id data; Id sub; };

  std::uint64_t Allocate(std::uint64_t size, std::uint64_t align);
  void MarkUsed(std::uint64_t offset, std::uint64_t size);
  Id EmitBlock(const std::uint8_t* payload, std::size_t cb, bool internal);
  Id EmitStream(const Stream& s);
  Id EmitSubnodes(const std::vector<Subnode>& subs);
  Id DataOf(const NodeContent& c);
  void SealPage(std::uint8_t* page, std::uint8_t type, std::uint64_t offset, std::uint64_t bid,
                bool signed_) const;
  Ref BuildTree(const Bytes& leafEntries, const std::vector<Id>& keys,
                std::size_t entrySize, std::uint8_t type, std::size_t& pages, int& levels);
  void WriteMaps(std::uint64_t intervals, std::uint64_t& amapFree);
  void WriteHeader(const HeaderInfo& info, std::uint64_t fileEof, std::uint64_t amapLast,
                   std::uint64_t amapFree, const Ref& nbt, const Ref& bbt);

  FileSink& sink_;
  std::uint64_t cursor_ = kFirstInterval + 1024;  // past the first AMap and PMap
  std::uint64_t nextBid_ = 4;
  std::uint64_t nextPageBid_ = 1;
  std::vector<std::uint8_t> used_;  // one byte per 64-byte slot from kFirstInterval
  std::vector<BbtEntry> bbt_;
  std::vector<NbtEntry> nbt_;
  Bytes scratch_;
  std::deque<std::vector<SubnodeEntry>> subnodeLists_;  // deque: nested levels keep their place
  std::size_t subnodeDepth_ = 0;
};

extern template class NdbWriter<AnsiFormat>;
extern template class NdbWriter<UnicodeFormat>;

}  // namespace pst::detail

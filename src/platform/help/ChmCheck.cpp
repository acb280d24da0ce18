#include "platform/help/ChmCheck.h"
#include "platform/os/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace help {
namespace {

// Lower case: see LookupKey.
constexpr std::string_view kControlData = "::dataspace/storage/mscompressed/controldata";
constexpr std::string_view kResetTable =
    "::dataspace/storage/mscompressed/transform/{7fc28940-9d31-11d0-9b27-00a0c91e9c7c}/instancedata/resettable";
constexpr std::string_view kContent = "::dataspace/storage/mscompressed/content";
constexpr std::uint64_t kLzxFrame = 0x8000;       // decompressed bytes per block
constexpr std::uint64_t kMaxBlockSlack = 6144;    // chmlib's buffer beyond one frame
constexpr std::uint64_t kMaxPath = 512;           // chmlib's longest object name
constexpr std::uint64_t kMaxDirectory = 64u << 20;  // far beyond any real help file

// The headers hold 4- and 8-byte fields.
std::uint64_t Le(const unsigned char* p, int bytes) { return bytes == 8 ? le::Get64(p) : le::Get32(p); }

struct Object {
  std::uint64_t section = 0, offset = 0, length = 0;
  bool operator==(const Object&) const = default;
  // chmlib keeps the section in a C int and reads every section but 0
  // through the decompressor.
  bool Compressed() const { return static_cast<std::uint32_t>(section) != 0; }
};

// chmlib looks names up as C strings (up to the first NUL) ignoring ASCII
// case, and takes the first match it meets; two entries with that same key
// must therefore be the same object, or this check and chmlib would look at
// different ones.
std::string LookupKey(std::string_view name) {
  std::string key(name.substr(0, name.find('\0')));
  std::transform(key.begin(), key.end(), key.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return key;
}

// The variable-length numbers of the directory: 7 bits a byte, high bit set
// on every byte but the last. Fails rather than run past end.
bool ReadEncInt(const unsigned char*& p, const unsigned char* end, std::uint64_t* value) {
  *value = 0;
  for (int n = 0; n < 9; ++n) {
    if (p >= end) return false;
    const unsigned char b = *p++;
    *value = (*value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;  // longer than any 64-bit number
}

class Checker {
 public:
  Checker(std::ifstream& in, std::uint64_t file_size) : in_(in), file_size_(file_size) {}

  bool Run() {
    unsigned char itsf[0x60] = {};
    const std::uint64_t got = Fetch(0, itsf, sizeof itsf);
    if (got < 0x58 || std::memcmp(itsf, "ITSF", 4) != 0) return false;
    const std::uint64_t version = Le(itsf + 4, 4);
    const std::uint64_t dir_offset = Le(itsf + 0x48, 8), dir_length = Le(itsf + 0x50, 8);
    if (!Inside(dir_offset, dir_length) || dir_length > kMaxDirectory) return false;
    data_offset_ = version >= 3 && got >= 0x60 ? Le(itsf + 0x58, 8) : dir_offset + dir_length;
    if (data_offset_ > file_size_) return false;

    directory_.resize(dir_length);
    if (Fetch(dir_offset, directory_.data(), dir_length) != dir_length) return false;
    if (dir_length < 0x54 || std::memcmp(directory_.data(), "ITSP", 4) != 0) return false;
    const unsigned char* itsp = directory_.data();
    header_length_ = Le(itsp + 0x08, 4);
    block_length_ = Le(itsp + 0x10, 4);
    const std::int32_t index_root = static_cast<std::int32_t>(Le(itsp + 0x1C, 4));
    const std::int32_t index_head = static_cast<std::int32_t>(Le(itsp + 0x20, 4));
    blocks_ = Le(itsp + 0x2C, 4);
    // Directory chunks are 4 KiB in every file we know of; allow 512 bytes to 64 KiB.
    if (header_length_ < 0x54 || block_length_ < 0x200 || block_length_ > 0x10000 || blocks_ == 0 ||
        header_length_ > dir_length || blocks_ > (dir_length - header_length_) / block_length_)
      return false;

    if (!WalkListingChunks(index_head)) return false;
    if (index_root != -1 && !WalkIndexTree(index_root)) return false;
    return CompressionIsSound();
  }

 private:
  std::uint64_t Fetch(std::uint64_t at, unsigned char* into, std::uint64_t n) {
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(at));
    in_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(n));
    return static_cast<std::uint64_t>(in_.gcount());
  }
  bool Inside(std::uint64_t at, std::uint64_t length) const {
    return at <= file_size_ && length <= file_size_ - at;
  }
  const unsigned char* Chunk(std::uint64_t n) const {
    return directory_.data() + header_length_ + n * block_length_;
  }

  // The listing chunks ("PMGL") form a chain from the first one; chmlib
  // follows it to the end, so it must end.
  bool WalkListingChunks(std::int32_t first) {
    std::set<std::uint64_t> seen;
    for (std::int64_t n = first; n != -1;) {
      if (n < 0 || static_cast<std::uint64_t>(n) >= blocks_ || !seen.insert(static_cast<std::uint64_t>(n)).second)
        return false;
      if (!CheckListingChunk(static_cast<std::uint64_t>(n))) return false;
      n = static_cast<std::int32_t>(Le(Chunk(static_cast<std::uint64_t>(n)) + 0x10, 4));
    }
    return true;
  }

  // Every entry of a listing chunk must fit it. chmlib reaches these chunks
  // both along the chain and down the index, so each is checked once here
  // whichever way it was found.
  bool CheckListingChunk(std::uint64_t n) {
    if (!listed_.insert(n).second) return true;
    const unsigned char* chunk = Chunk(n);
    if (std::memcmp(chunk, "PMGL", 4) != 0) return false;
    const std::uint64_t free_space = Le(chunk + 4, 4);
    if (free_space > block_length_ - 0x14) return false;
    const unsigned char* p = chunk + 0x14;
    const unsigned char* end = chunk + block_length_ - free_space;
    while (p < end) {
      std::uint64_t name_length = 0;
      if (!ReadEncInt(p, end, &name_length) || name_length > kMaxPath ||
          name_length > static_cast<std::uint64_t>(end - p))
        return false;
      const std::string key = LookupKey(std::string_view(reinterpret_cast<const char*>(p), name_length));
      p += name_length;
      Object object;
      if (!ReadEncInt(p, end, &object.section) || !ReadEncInt(p, end, &object.offset) ||
          !ReadEncInt(p, end, &object.length))
        return false;
      if (!object.Compressed()) {
        // Stored objects are read straight from the file: they must lie in it.
        if (object.offset > file_size_ || !Inside(data_offset_ + std::min(object.offset, file_size_), object.length))
          return false;
      } else if (object.length > 0) {
        // Compressed ones must lie in the content the reset table describes.
        if (object.offset > UINT64_MAX - object.length) return false;
        compressed_end_ = std::max(compressed_end_, object.offset + object.length);
      }
      if (!Remember(key, kControlData, object, &control_) || !Remember(key, kResetTable, object, &reset_) ||
          !Remember(key, kContent, object, &content_))
        return false;
    }
    return true;
  }

  static bool Remember(const std::string& key, std::string_view wanted, const Object& object,
                       std::optional<Object>* slot) {
    if (key != wanted) return true;
    if (*slot && !(**slot == object)) return false;  // two different objects under one name
    *slot = object;
    return true;
  }

  // The index chunks ("PMGI") form a tree over the listing chunks; chmlib
  // descends it to find a name, so it must hold no cycle.
  bool WalkIndexTree(std::int32_t root) {
    std::set<std::uint64_t> seen;
    std::vector<std::int64_t> pending{root};
    while (!pending.empty()) {
      const std::int64_t n = pending.back();
      pending.pop_back();
      if (n < 0 || static_cast<std::uint64_t>(n) >= blocks_ || !seen.insert(static_cast<std::uint64_t>(n)).second)
        return false;
      const unsigned char* chunk = Chunk(static_cast<std::uint64_t>(n));
      if (std::memcmp(chunk, "PMGL", 4) == 0) {
        if (!CheckListingChunk(static_cast<std::uint64_t>(n))) return false;
        continue;
      }
      if (std::memcmp(chunk, "PMGI", 4) != 0) return false;
      const std::uint64_t free_space = Le(chunk + 4, 4);
      if (free_space > block_length_ - 0x08) return false;
      const unsigned char* p = chunk + 0x08;
      const unsigned char* end = chunk + block_length_ - free_space;
      while (p < end) {
        std::uint64_t name_length = 0, child = 0;
        if (!ReadEncInt(p, end, &name_length) || name_length > kMaxPath ||
            name_length > static_cast<std::uint64_t>(end - p))
          return false;
        p += name_length;
        if (!ReadEncInt(p, end, &child) || child >= blocks_) return false;
        pending.push_back(static_cast<std::int64_t>(child));
      }
    }
    return true;
  }

  std::optional<std::vector<unsigned char>> ReadStored(const std::optional<Object>& object, std::uint64_t max) {
    if (!object || object->Compressed() || object->length > max) return std::nullopt;
    std::vector<unsigned char> bytes(object->length);
    if (Fetch(data_offset_ + object->offset, bytes.data(), object->length) != object->length) return std::nullopt;
    return bytes;
  }

  // chmlib sizes its buffers and divides by what the LZX control data and the
  // reset table say, and copies each compressed block into a buffer of one
  // frame plus a little. It does the division on opening as soon as these
  // objects exist, whether or not anything is compressed.
  bool CompressionIsSound() {
    if (compressed_end_ == 0 && !control_ && !reset_ && !content_) return true;
    if (!content_ || content_->Compressed()) return false;
    const auto control = ReadStored(control_, 0x100);
    const auto reset = ReadStored(reset_, 64u << 20);
    if (!control || !reset || control->size() < 0x18 || reset->size() < 0x28) return false;

    const unsigned char* c = control->data();
    if (std::memcmp(c + 4, "LZXC", 4) != 0) return false;
    std::uint64_t reset_interval = Le(c + 0x0C, 4), window = Le(c + 0x10, 4);
    const std::uint64_t windows_per_reset = Le(c + 0x14, 4);
    if (Le(c + 0x08, 4) == 2) {  // version 2 counts in frames
      reset_interval *= kLzxFrame;
      window *= kLzxFrame;
    }
    if (window < 0x8000 || window > 0x200000 || (window & (window - 1)) != 0) return false;
    if (reset_interval == 0 || reset_interval > 0xFFFFFFFFu || reset_interval % (window / 2) != 0) return false;
    if (windows_per_reset == 0 || reset_interval / (window / 2) * windows_per_reset > 0xFFFFFFFFu) return false;

    const unsigned char* r = reset->data();
    const std::uint64_t block_count = Le(r + 0x04, 4), table_offset = Le(r + 0x0C, 4);
    const std::uint64_t compressed_length = Le(r + 0x18, 8), block_length = Le(r + 0x20, 8);
    if (block_length != kLzxFrame || compressed_length > content_->length) return false;
    if (table_offset > reset->size() || block_count > (reset->size() - table_offset) / 8) return false;
    // Past the last listed block chmlib would take a block's bounds from
    // whatever follows the table; compressed objects must lie in the content.
    const std::uint64_t uncompressed_length = Le(r + 0x10, 8);
    if (compressed_end_ > uncompressed_length || uncompressed_length > block_count * kLzxFrame) return false;
    std::uint64_t previous = 0;
    for (std::uint64_t i = 0; i <= block_count; ++i) {
      const std::uint64_t start = i < block_count ? Le(r + table_offset + i * 8, 8) : compressed_length;
      if (start < previous || start > compressed_length) return false;
      if (i > 0 && start - previous > kLzxFrame + kMaxBlockSlack) return false;
      previous = start;
    }
    return true;
  }

  std::ifstream& in_;
  std::uint64_t file_size_;
  std::uint64_t data_offset_ = 0, header_length_ = 0, block_length_ = 0, blocks_ = 0;
  std::vector<unsigned char> directory_;
  std::set<std::uint64_t> listed_;  // listing chunks already checked
  std::optional<Object> control_, reset_, content_;
  std::uint64_t compressed_end_ = 0;  // the end of the furthest compressed object
};

}  // namespace

bool ChmStructureIsSound(const std::string& path) {
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  return Checker(in, size).Run();
}

}  // namespace help

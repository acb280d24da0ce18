// The objects of a message store, made into nodes: the store itself, the
// name-to-id map, the folders with their three tables, the contact items,
// the table templates and the search bookkeeping a new store carries.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/pst/Ltp.h"
#include "platform/pst/NodeContent.h"
#include "platform/pst/PackedContacts.h"
#include "platform/pst/Items.h"

namespace pst::detail {

struct FolderModel {
  enum class Kind { Root, IpmSubtree, SearchRoot, DeletedItems, User };
  Kind kind = Kind::User;
  std::string name;
  std::string containerClass;
  std::vector<const FolderModel*> children;
  ContactsView contacts;
  const std::vector<ItemId>* contactIds = nullptr;  // beside contacts; may be absent
  const std::vector<DistList>* distLists = nullptr;
  const std::vector<ItemId>* distListIds = nullptr;  // beside distLists; may be absent
  std::size_t ItemCount() const {
    return (contacts ? contacts->size() : 0) + (distLists ? distLists->size() : 0);
  }
};

struct StoreModel {
  std::string displayName;
  Bytes recordKey;  // 16 bytes, the store's identity inside entry ids
  const FolderModel* root = nullptr;
  std::uint64_t now = 0;  // FILETIME of creation
  // Items made on a second thread while the nodes before them are written;
  // the bytes are the same either way.
  bool workAhead = true;
};

class NodeOutput {
 public:
  virtual ~NodeOutput() = default;
  virtual void AddNode(std::uint32_t nid, std::uint32_t parentNid, const NodeContent& c) = 0;
  // Writes a one-block stream that nodes then name in NodeContent::sharedBlock.
  virtual std::uint64_t AddSharedBlock(const Stream& s) = 0;
};

// Well-known node ids.
constexpr std::uint32_t kNidMessageStore = 0x21;
constexpr std::uint32_t kNidNameToIdMap = 0x61;
constexpr std::uint32_t kNidRootFolder = 0x122;
constexpr std::uint32_t kNidIpmSubtree = 0x8022;
constexpr std::uint32_t kNidSearchRoot = 0x8042;
constexpr std::uint32_t kNidDeletedItems = 0x8062;
constexpr std::uint32_t kNidSpamSearchFolder = 0x2223;

// Hands every node of the store to out; returns the header's counters.
HeaderInfo WriteMessaging(const StoreModel& store, const LtpFormat& fmt, NodeOutput& out,
                          std::mt19937_64& rng);

}  // namespace pst::detail

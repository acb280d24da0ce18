#include "platform/pst/Messaging.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/pst/ContactProperties.h"
#include "platform/pst/Crc.h"
#include "platform/pst/DistListProperties.h"
#include "platform/pst/WorkAhead.h"

namespace pst::detail {

namespace {

// Column sets of the empty tables Outlook puts in every folder; text
// columns change type with the format.
const std::vector<std::uint32_t> kHierarchyCols = {
    0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x3001001F, 0x36020003, 0x36030003,
    0x360A000B, 0x3613001F, 0x66350003, 0x66360003, 0x67F20003, 0x67F30003};
const std::vector<std::uint32_t> kContentsCols = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B,
    0x0058000B, 0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003,
    0x0E080003, 0x0E170003, 0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102,
    0x0E3D0102, 0x10970003, 0x30080040, 0x65C60003, 0x67F20003, 0x67F30003};
const std::vector<std::uint32_t> kAssocContentsCols = {
    0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F, 0x67F20003, 0x67F30003, 0x6800001F,
    0x6803000B, 0x68051003, 0x682F001F, 0x70030003, 0x70040102, 0x70050102, 0x7006001F,
    0x70070003};
const std::vector<std::uint32_t> kSearchContentsCols = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x0042001F, 0x0057000B, 0x0058000B,
    0x0E03001F, 0x0E04001F, 0x0E05001F, 0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003,
    0x0E2A000B, 0x30080040, 0x67F10003, 0x67F20003, 0x67F30003};
const std::vector<std::uint32_t> kRecipientCols = {
    0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003, 0x0FFF0102, 0x3001001F, 0x3002001F,
    0x3003001F, 0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B, 0x67F20003, 0x67F30003};
const std::vector<std::uint32_t> kAttachmentCols = {0x0E200003, 0x3704001F, 0x37050003,
                                                    0x370B0003, 0x67F20003, 0x67F30003};

std::vector<std::uint32_t> ForFormat(std::vector<std::uint32_t> cols, const LtpFormat& fmt) {
  if (!fmt.unicode)
    for (auto& t : cols)
      if ((t & 0xFFFF) == 0x001F || (t & 0xFFFF) == 0x101F) t -= 1;  // to 8-bit text
  return cols;
}

// The item properties the contents table shows.
constexpr bool InContentsRow(std::uint16_t id) {
  switch (id) {
    case 0x0017: case 0x001A: case 0x0036: case 0x0037: case 0x0057: case 0x0058: case 0x0070:
    case 0x0E07: case 0x0E08: case 0x0E17: case 0x3008:
      return true;
    default:
      return false;
  }
}

// Items in the making at once, and how many change hands together: enough
// that the two threads seldom wait for each other, few enough to cost
// little memory. On a busy machine either thread may lose its core for a
// few milliseconds; a ring of 512 items (a few hundred microseconds of
// work) keeps the other one going meanwhile: a 32,766-contact folder took
// about a quarter less time than with 128.
constexpr std::size_t kAheadBatch = 64;
constexpr std::size_t kAheadSlots = 8 * kAheadBatch;
// A slot whose item was larger than this lets its buffers go afterwards, so
// that a few long notes do not keep their room for the rest of the folder.
constexpr std::size_t kKeptSlotBytes = 64 * 1024;

// One contact item's properties, made ahead of its writing.
struct BuiltItem {
  std::uint8_t searchKey[16];
  PropertyList props;
};

// Reference counts are 16-bit: a shared block serves at most this many nodes.
constexpr std::size_t kMaxSharers = 60000;

// The address property set, as its bytes appear in the GUID stream.
const std::uint8_t kPsetidAddress[16] = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class Writer {
 public:
  Writer(const StoreModel& store, const LtpFormat& fmt, NodeOutput& out, std::mt19937_64& rng)
      : store_(store), fmt_(fmt), out_(out), rng_(rng) {}

  HeaderInfo Run();

 private:
  struct Placed {
    const FolderModel* folder;
    std::uint32_t nid;
    std::uint32_t parentNid;
  };

  void Assign(const FolderModel* f, std::uint32_t parentNid);
  void AssignItemNids();
  std::vector<ResolvedMember> ResolveMembers(const DistList& list) const;
  void NoteNamedIds(const PropertyList& props);
  void WriteFolder(const Placed& p);
  void WriteEmptyTable(std::uint32_t nid, const std::vector<std::uint32_t>& cols,
                       std::uint32_t parent = 0);
  void WriteStoreNodes();
  void WriteNameMap();
  void WriteSearchNodes();
  std::vector<PropValue> FolderProps(const FolderModel& f, std::size_t items) const;
  TableRow HierarchyRow(std::uint32_t nid, const FolderModel& f) const;
  Bytes EntryId(std::uint32_t nid) const;
  void RandomKey(std::uint8_t (&key)[16]);

  const StoreModel& store_;
  LtpFormat fmt_;
  NodeOutput& out_;
  std::mt19937_64& rng_;
  std::vector<Placed> placed_;
  std::uint32_t nextFolderIndex_ = 0x404;
  std::uint32_t nextMessageIndex_ = 0x10000;
  std::uint32_t nextLtpIndex_ = 0x400;
  std::uint32_t unique_ = 0;
  // Where each contact will be, so that lists anywhere in the store can name it.
  // What a list needs of each contact it may name: where it is, and its
  // first address with the name it shows.
  struct MemberTarget {
    std::uint32_t nid = 0;
    std::string address, addressType, displayName;
    bool isList = false;
  };
  std::unordered_map<ItemId, MemberTarget> targets_;
  std::uint16_t highestNamedId_ = 0;
};

// Message nodes are numbered folder by folder, contacts then lists, in the
// order WriteFolder writes them.
void Writer::AssignItemNids() {
  // Only the contacts some list names are looked at (and unpacked).
  std::unordered_set<ItemId> named;
  for (const Placed& pl : placed_)
    if (pl.folder->distLists)
      for (const DistList& list : *pl.folder->distLists)
        for (const DistListMember& m : list.members) {
          if (m.contact) named.insert(m.contact);
          if (m.list) named.insert(m.list);
        }
  if (named.empty()) return;  // nothing names a contact
  std::uint32_t index = nextMessageIndex_;
  Contact unpacked;
  for (const Placed& pl : placed_) {
    const FolderModel& f = *pl.folder;
    const std::size_t count = f.contacts ? f.contacts->size() : 0;
    const std::size_t ids = f.contactIds ? std::min(count, f.contactIds->size()) : 0;
    for (std::size_t i = 0; i < ids; ++i) {
      const ItemId id = (*f.contactIds)[i];
      if (!named.count(id)) continue;
      const Contact& c = f.contacts->At(i, unpacked);
      targets_[id] = {MakeNid(index + static_cast<std::uint32_t>(i) + 1, kNidNormalMessage),
                      c.Email1Address, c.Email1AddressType, DisplayName(c)};
    }
    index += static_cast<std::uint32_t>(count);
    const std::size_t lists = f.distLists ? f.distLists->size() : 0;
    const std::size_t listIds = f.distListIds ? std::min(lists, f.distListIds->size()) : 0;
    for (std::size_t k = 0; k < listIds; ++k) {
      const ItemId id = (*f.distListIds)[k];
      if (!named.count(id)) continue;
      MemberTarget t;
      t.nid = MakeNid(index + static_cast<std::uint32_t>(k) + 1, kNidNormalMessage);
      t.displayName = (*f.distLists)[k].DLName;
      t.isList = true;
      targets_[id] = std::move(t);
    }
    index += static_cast<std::uint32_t>(lists);
  }
}

std::vector<ResolvedMember> Writer::ResolveMembers(const DistList& list) const {
  std::vector<ResolvedMember> out;
  out.reserve(list.members.size());
  for (const DistListMember& m : list.members) {
    ResolvedMember r;
    auto it = m.contact ? targets_.find(m.contact) : targets_.end();
    std::string name = m.displayName, address = m.address, type = m.addressType;
    if (auto inner = m.list ? targets_.find(m.list) : targets_.end(); inner != targets_.end()) {
      // A list inside the list: the wrapped id points at it, and its one-off
      // twin names it with the address type of personal lists.
      const MemberTarget& t = inner->second;
      r.entryId = WrappedListEntryId(EntryId(t.nid));
      r.oneOff = OneOffEntryId(name.empty() ? t.displayName : name, "MAPIPDL", "");
    } else if (it != targets_.end()) {
      // The contact's own first address, as Outlook resolves a contact member.
      const MemberTarget& t = it->second;
      if (!t.address.empty()) {
        address = t.address;
        type = t.addressType;
      }
      if (name.empty()) name = t.displayName;
      r.entryId = WrappedContactEntryId(EntryId(t.nid));
      r.oneOff = OneOffEntryId(name, type, address);
    } else {
      r.oneOff = OneOffEntryId(name, type, address);
      r.entryId = r.oneOff;
    }
    out.push_back(std::move(r));
  }
  return out;
}

void Writer::NoteNamedIds(const PropertyList& props) {
  for (const auto& e : props.entries())
    if (e.id > highestNamedId_) highestNamedId_ = e.id;
}

void Writer::RandomKey(std::uint8_t (&key)[16]) {
  for (std::size_t i = 0; i < 16; i += 8) Put64(key + i, rng_());
}

Bytes Writer::EntryId(std::uint32_t nid) const {
  Bytes e(4, 0);
  AppendBytes(e, store_.recordKey.data(), store_.recordKey.size());
  Append32(e, nid);
  return e;
}

void Writer::Assign(const FolderModel* f, std::uint32_t parentNid) {
  std::uint32_t nid = 0;
  switch (f->kind) {
    case FolderModel::Kind::Root: nid = kNidRootFolder; break;
    case FolderModel::Kind::IpmSubtree: nid = kNidIpmSubtree; break;
    case FolderModel::Kind::SearchRoot: nid = kNidSearchRoot; break;
    case FolderModel::Kind::DeletedItems: nid = kNidDeletedItems; break;
    case FolderModel::Kind::User: nid = MakeNid(nextFolderIndex_++, kNidNormalFolder); break;
  }
  if (f->kind == FolderModel::Kind::Root) parentNid = nid;  // the root is its own parent
  placed_.push_back({f, nid, parentNid});
  for (const FolderModel* c : f->children) Assign(c, nid);
}

std::vector<PropValue> Writer::FolderProps(const FolderModel& f, std::size_t items) const {
  std::vector<PropValue> p;
  p.push_back(StringProp(0x3001, f.name, fmt_));
  p.push_back(Int32Prop(0x3602, static_cast<std::uint32_t>(items)));
  p.push_back(Int32Prop(0x3603, 0));
  bool subfolders = !f.children.empty() || f.kind == FolderModel::Kind::Root;
  p.push_back(BoolProp(0x360A, subfolders));
  if (!f.containerClass.empty()) p.push_back(StringProp(0x3613, f.containerClass, fmt_));
  return p;
}

TableRow Writer::HierarchyRow(std::uint32_t nid, const FolderModel& f) const {
  TableRow row;
  row.rowId = nid;
  for (auto& v : FolderProps(f, f.ItemCount())) row.cells.push_back(v);
  return row;
}

void Writer::WriteEmptyTable(std::uint32_t nid, const std::vector<std::uint32_t>& cols,
                             std::uint32_t parent) {
  out_.AddNode(nid, parent,
               BuildTableContext(ForFormat(cols, fmt_), TableRows{}, fmt_, nextLtpIndex_));
}

void Writer::WriteFolder(const Placed& pl) {
  const FolderModel& f = *pl.folder;
  const std::uint32_t index = pl.nid >> 5;

  // Items first: their contents-table rows copy what the items hold, and
  // go into the table as each item is written.
  TableContextBuilder contents(ForFormat(kContentsCols, fmt_), fmt_);
  contents.Reserve(f.ItemCount());
  if (f.contacts && !f.contacts->empty()) {
    // Every item's empty recipient table is the same block, shared as
    // Outlook shares the blocks of empty tables.
    NodeContent recipients = BuildTableContext(ForFormat(kRecipientCols, fmt_), TableRows{}, fmt_,
                                               nextLtpIndex_);
    std::uint64_t sharedRecipients = 0;
    std::size_t sharers = 0;
    // The items' properties are made, and put in the order of their ids, on
    // a second thread, which also takes each item's row of the contents
    // table; it owns the scratch, the sorter and the table until the end of
    // the folder, and numbers the rows as the items are numbered here
    // (nothing else takes a number while the folder is written). This
    // thread lays each item out and writes it: the two take about as long.
    std::uint16_t highest = 0;
    ContactScratch scratch;
    Contact unpacked;
    IdSorter sorter;
    const std::uint32_t firstIndex = nextMessageIndex_, firstUnique = unique_;
    PropertyContextBuilder builder(fmt_);
    NodeContent item;
    std::vector<BuiltItem> slots(kAheadSlots);
    WorkAhead(
        f.contacts->size(), slots, kAheadBatch, store_.workAhead,
        [&](std::size_t, BuiltItem& s) { RandomKey(s.searchKey); },
        [&](std::size_t i, BuiltItem& s) {
          ContactItemProperties(f.contacts->At(i, unpacked), fmt_, store_.now, s.searchKey, s.props,
                                scratch);
          // In the order the item is laid out in (a list with an id twice
          // stays as it is and is refused there), which is also the order
          // of the row's cells.
          sorter.Sort(s.props);
          contents.BeginRow(MakeNid(firstIndex + static_cast<std::uint32_t>(i) + 1, kNidNormalMessage),
                            firstUnique + static_cast<std::uint32_t>(i) + 1);
          for (const auto& e : s.props.entries()) {
            highest = std::max(highest, e.id);
            if (InContentsRow(e.id)) contents.AddCell(s.props, e);
          }
        },
        [&](std::size_t, BuiltItem& s) {
          const std::uint32_t nid = MakeNid(++nextMessageIndex_, kNidNormalMessage);
          ++unique_;
          builder.Build(s.props, nextLtpIndex_, item);
          if (sharers % kMaxSharers == 0) sharedRecipients = out_.AddSharedBlock(recipients.data);
          ++sharers;
          Subnode rt;
          rt.nid = 0x692;  // the item's recipient table
          rt.content.sharedBlock = sharedRecipients;
          item.subnodes.push_back(std::move(rt));
          out_.AddNode(nid, pl.nid, item);
          if (s.props.valueBytes() > kKeptSlotBytes) s.props = PropertyList();
        });
    highestNamedId_ = std::max(highestNamedId_, highest);
  }
  if (f.distLists && !f.distLists->empty()) {
    NodeContent recipients = BuildTableContext(ForFormat(kRecipientCols, fmt_), TableRows{}, fmt_,
                                               nextLtpIndex_);
    PropertyList props;
    std::uint8_t searchKey[16];
    for (const DistList& list : *f.distLists) {
      std::uint32_t nid = MakeNid(++nextMessageIndex_, kNidNormalMessage);
      RandomKey(searchKey);
      DistListItemProperties(list, ResolveMembers(list), fmt_, store_.now, searchKey, props);
      NoteNamedIds(props);
      contents.BeginRow(nid, ++unique_);
      for (const auto& e : props.entries())
        if (InContentsRow(e.id)) contents.AddCell(props, e);
      NodeContent item = BuildPropertyContext(props, fmt_, nextLtpIndex_);
      Subnode rt;
      rt.nid = 0x692;
      rt.content = recipients;
      item.subnodes.push_back(std::move(rt));
      out_.AddNode(nid, pl.nid, item);
    }
  }

  std::vector<TableRow> hierarchy;
  for (const FolderModel* c : f.children) {
    auto it = std::find_if(placed_.begin(), placed_.end(),
                           [&](const Placed& p) { return p.folder == c; });
    TableRow row = HierarchyRow(it->nid, *c);
    row.rowVer = ++unique_;
    hierarchy.push_back(std::move(row));
  }
  if (f.kind == FolderModel::Kind::Root) {
    FolderModel spam;
    spam.name = "SPAM Search Folder 2";
    TableRow row = HierarchyRow(kNidSpamSearchFolder, spam);
    row.rowVer = ++unique_;
    hierarchy.push_back(std::move(row));
  }

  std::size_t items = f.ItemCount();
  out_.AddNode(pl.nid, pl.parentNid,
               BuildPropertyContext(FolderProps(f, items), fmt_, nextLtpIndex_));
  out_.AddNode(MakeNid(index, kNidHierarchyTable), 0,
               BuildTableContext(ForFormat(kHierarchyCols, fmt_), hierarchy, fmt_, nextLtpIndex_));
  out_.AddNode(MakeNid(index, kNidContentsTable), 0,
               contents.Finish(nextLtpIndex_));
  WriteEmptyTable(MakeNid(index, kNidAssocContentsTable), kAssocContentsCols);
}

void Writer::WriteStoreNodes() {
  std::vector<PropValue> p;
  p.push_back(BinaryProp(0x0FF9, store_.recordKey));
  p.push_back(StringProp(0x3001, store_.displayName, fmt_));
  p.push_back(Int32Prop(0x35DF, 0x89));  // subtree, wastebasket and finder are valid
  p.push_back(BinaryProp(0x35E0, EntryId(kNidIpmSubtree)));
  p.push_back(BinaryProp(0x35E3, EntryId(kNidDeletedItems)));
  p.push_back(BinaryProp(0x35E7, EntryId(kNidSearchRoot)));
  p.push_back(Int32Prop(0x67FF, 0));  // no password
  out_.AddNode(kNidMessageStore, 0, BuildPropertyContext(std::move(p), fmt_, nextLtpIndex_));
}

// The name-to-id map: one GUID, the names up to the highest one the items
// use (numeric ones in the address set, then "Keywords" of the public
// strings), and the hash buckets that find them. [MS-PST] 2.4.7
void Writer::WriteNameMap() {
  constexpr std::uint32_t kBuckets = 251;
  constexpr std::uint16_t kGuidIndex = 3;          // the first GUID of the stream
  constexpr std::uint16_t kPublicStringsIndex = 2;  // PS_PUBLIC_STRINGS, predefined
  const auto& lids = NamedLids();
  // Every name the engine uses, the string one (Keywords) last, whether or
  // not an item uses it: as in Outlook's files the string stream then never
  // is empty, which readers of the java-libpst family cannot open.
  std::size_t names = lids.size() + 1;
  if (highestNamedId_ >= 0x8000 + names) names = highestNamedId_ - 0x8000 + 1u;
  Bytes entries, strings;
  std::vector<Bytes> buckets(kBuckets);
  for (std::size_t i = 0; i < names; ++i) {
    Bytes rec;
    std::uint32_t key;
    std::uint16_t guidField;
    if (i < lids.size()) {
      key = lids[i];
      guidField = static_cast<std::uint16_t>(kGuidIndex << 1);
      Append32(rec, key);
    } else {
      // The string name: its offset in the string stream here, its CRC in the bucket.
      Bytes name;
      for (const char16_t* c = kKeywordsName; *c; ++c) Append16(name, static_cast<std::uint16_t>(*c));
      key = Crc(name.data(), name.size());
      guidField = static_cast<std::uint16_t>((kPublicStringsIndex << 1) | 1);
      Append32(rec, static_cast<std::uint32_t>(strings.size()));
      Append32(strings, static_cast<std::uint32_t>(name.size()));
      AppendBytes(strings, name.data(), name.size());
      while (strings.size() % 4) strings.push_back(0);
    }
    Append16(rec, guidField);
    Append16(rec, static_cast<std::uint16_t>(i));
    AppendBytes(entries, rec.data(), rec.size());
    Put32(rec.data(), key);
    std::uint32_t b = (key ^ guidField) % kBuckets;
    AppendBytes(buckets[b], rec.data(), rec.size());
  }
  std::vector<PropValue> p;
  p.push_back(Int32Prop(0x0001, kBuckets));
  p.push_back(BinaryProp(0x0002, Bytes(std::begin(kPsetidAddress), std::end(kPsetidAddress))));
  p.push_back(BinaryProp(0x0003, entries));
  p.push_back(BinaryProp(0x0004, strings));
  for (std::uint32_t b = 0; b < kBuckets; ++b)
    if (!buckets[b].empty())
      p.push_back(BinaryProp(static_cast<std::uint16_t>(0x1000 + b), buckets[b]));
  out_.AddNode(kNidNameToIdMap, 0, BuildPropertyContext(std::move(p), fmt_, nextLtpIndex_));
}

// The spam search folder and the search queues a new store carries.
void Writer::WriteSearchNodes() {
  FolderModel spam;
  spam.name = "SPAM Search Folder 2";
  out_.AddNode(kNidSpamSearchFolder, kNidRootFolder,
               BuildPropertyContext(FolderProps(spam, 0), fmt_, nextLtpIndex_));
  const std::uint32_t index = kNidSpamSearchFolder >> 5;
  out_.AddNode(MakeNid(index, kNidSearchUpdateQueue), 0, NodeContent{});
  std::vector<PropValue> criteria;
  criteria.push_back(Int32Prop(0x660B, 0));
  out_.AddNode(MakeNid(index, kNidSearchCriteria), 0,
               BuildPropertyContext(std::move(criteria), fmt_, nextLtpIndex_));
  WriteEmptyTable(MakeNid(index, kNidSearchContentsTable), kSearchContentsCols);

  out_.AddNode(0x1E1, 0, NodeContent{});  // search management queue, empty
  NodeContent activity;
  Bytes list;
  Append32(list, kNidSpamSearchFolder);
  activity.data.blocks.push_back(list);
  out_.AddNode(0x201, 0, activity);      // search activity list
  out_.AddNode(0x261, 0, NodeContent{});  // search domain object
}

HeaderInfo Writer::Run() {
  Assign(store_.root, 0);
  AssignItemNids();
  for (const Placed& p : placed_) WriteFolder(p);
  WriteStoreNodes();
  WriteNameMap();
  WriteSearchNodes();
  WriteEmptyTable(0x60D, kHierarchyCols);
  WriteEmptyTable(0x60E, kContentsCols);
  WriteEmptyTable(0x60F, kAssocContentsCols);
  WriteEmptyTable(0x610, kSearchContentsCols);
  WriteEmptyTable(0x671, kAttachmentCols);
  WriteEmptyTable(0x692, kRecipientCols);

  HeaderInfo info;
  info.rgnid.fill(0x400);
  std::uint32_t lastFolder = nextFolderIndex_ - 1;
  info.rgnid[kNidNormalFolder] = lastFolder;
  info.rgnid[kNidHierarchyTable] = lastFolder;
  info.rgnid[kNidContentsTable] = lastFolder;
  info.rgnid[kNidAssocContentsTable] = lastFolder;
  info.rgnid[kNidSearchFolder] = 0x4000;
  info.rgnid[kNidNormalMessage] = nextMessageIndex_;
  info.rgnid[0x08] = 0x8000;
  info.rgnid[kNidLtp] = nextLtpIndex_;
  info.unique = ++unique_;
  return info;
}

}  // namespace

HeaderInfo WriteMessaging(const StoreModel& store, const LtpFormat& fmt, NodeOutput& out,
                          std::mt19937_64& rng) {
  return Writer(store, fmt, out, rng).Run();
}

}  // namespace pst::detail

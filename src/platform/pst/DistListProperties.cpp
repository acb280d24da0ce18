#include "platform/pst/DistListProperties.h"

#include "platform/pst/ContactProperties.h"
#include "platform/pst/Crc.h"

namespace pst::detail {

namespace {

// The provider ids the entry ids carry, [MS-OXCDATA] 2.2.5.1 and [MS-OXOCNTC].
constexpr std::uint8_t kOneOffProvider[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                              0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
constexpr std::uint8_t kWrappedProvider[16] = {0xC0, 0x91, 0xAD, 0xD3, 0x51, 0x9D, 0xCF, 0x11,
                                               0xA4, 0xA9, 0x00, 0xAA, 0x00, 0x47, 0xFA, 0xA4};
// Embedded entry id of a contact (3), naming its first e-mail address (4 << 4),
// with the high bit Outlook sets.
constexpr std::uint8_t kWrappedContactEmail1 = 0xC3;
// Embedded entry id of a personal distribution list (4), high bits as Outlook sets them.
constexpr std::uint8_t kWrappedPersonalList = 0xB4;

void AppendUtf16z(Bytes& out, const std::string& utf8) {
  LtpFormat unicode;
  const Bytes b = StringProp(0, utf8, unicode).data;
  AppendBytes(out, b.data(), b.size());
  Append16(out, 0);
}

}  // namespace

Bytes OneOffEntryId(const std::string& displayName, const std::string& addressType,
                    const std::string& address) {
  Bytes e(4, 0);
  AppendBytes(e, kOneOffProvider, sizeof kOneOffProvider);
  Append16(e, 0);  // version
  // Flags as Outlook writes them for Unicode strings without rich text.
  e.push_back(0x01);
  e.push_back(0x80);
  AppendUtf16z(e, displayName);
  AppendUtf16z(e, addressType.empty() ? std::string("SMTP") : addressType);
  AppendUtf16z(e, address);
  return e;
}

namespace {
Bytes Wrapped(std::uint8_t type, const Bytes& messageEntryId) {
  Bytes e(4, 0);
  AppendBytes(e, kWrappedProvider, sizeof kWrappedProvider);
  e.push_back(type);
  AppendBytes(e, messageEntryId.data(), messageEntryId.size());
  return e;
}
}  // namespace

Bytes WrappedContactEntryId(const Bytes& messageEntryId) { return Wrapped(kWrappedContactEmail1, messageEntryId); }
Bytes WrappedListEntryId(const Bytes& messageEntryId) { return Wrapped(kWrappedPersonalList, messageEntryId); }

void DistListItemProperties(const DistList& list, const std::vector<ResolvedMember>& members,
                            const LtpFormat& fmt, std::uint64_t now,
                            const std::uint8_t (&searchKey)[16], PropertyList& p) {
  p.Clear();
  p.String(0x001A, "IPM.DistList", fmt);
  if (!list.DLName.empty()) {
    p.String(0x0037, list.DLName, fmt);
    const std::size_t name = p.entries().size() - 1;
    p.Repeat(0x0E1D, name);
    p.Repeat(0x0070, name);
    p.Repeat(0x3001, name);
    p.Repeat(NamedPropId(kLidFileUnder), name);
    p.Repeat(NamedPropId(kLidDistributionListName), name);
  }
  p.Int32(NamedPropId(kLidFileUnderId), 0xFFFFFFFF);  // filed under its own name
  MessageBasics(kIconDistList, fmt, now, searchKey, p);
  if (!list.Body.empty()) p.String(kTagBody, list.Body, fmt);
  if (!list.Categories.empty()) {
    const Bytes v = MultiString(list.Categories, fmt);
    p.Raw(KeywordsPropId(), fmt.unicode ? 0x101F : 0x101E, v.data(), v.size());
  }

  std::vector<Bytes> ids, oneOffs;
  ids.reserve(members.size());
  oneOffs.reserve(members.size());
  std::uint32_t checksum = 0;
  Bytes all;
  for (const ResolvedMember& m : members) {
    ids.push_back(m.entryId);
    oneOffs.push_back(m.oneOff);
    AppendBytes(all, m.entryId.data(), m.entryId.size());
  }
  // Outlook's checksum: the file format's CRC over the member entry ids in order.
  checksum = Crc(all.data(), all.size());
  const Bytes idList = MultiBinary(ids), oneOffList = MultiBinary(oneOffs);
  constexpr std::uint16_t kMultiBinary = 0x1102;
  p.Raw(NamedPropId(kLidDistributionListMembers), kMultiBinary, idList.data(), idList.size());
  p.Raw(NamedPropId(kLidDistributionListOneOffMembers), kMultiBinary, oneOffList.data(),
        oneOffList.size());
  p.Int32(NamedPropId(kLidDistributionListChecksum), checksum);

  std::size_t size = 8;
  for (const auto& e : p.entries()) size += 8 + e.size;
  p.Int32(0x0E08, static_cast<std::uint32_t>(size));
}

}  // namespace pst::detail

#include "WabBook.h"

#include "platform/os/LittleEndian.h"
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/automation/AddressBookReader.h"
#include "platform/os/Os.h"
#include "platform/codepage/CodePage.h"
#include "platform/wab/WabFile.h"
#include "platform/wab/WabReader.h"

namespace wab {
namespace {

std::uint32_t Le32(std::string_view b, std::size_t at) { return le::Get32(b.data() + at); }
std::uint64_t Le64(std::string_view b, std::size_t at) { return le::Get64(b.data() + at); }

// MAPI property types beyond those WabFile.h names.
constexpr std::uint16_t kTypeI2 = 0x0002;
constexpr std::uint16_t kTypeSysTime = 0x0040;
constexpr std::uint16_t kTypeBinary = 0x0102;

// Standard property IDs the model reads besides the text fields.
constexpr std::uint16_t kPidDisplayName = 0x3001;
constexpr std::uint16_t kPidAddrType = 0x3002;
constexpr std::uint16_t kPidEmailAddress = 0x3003;
constexpr std::uint16_t kPidLastModified = 0x3008;
constexpr std::uint16_t kPidAnniversary = 0x3A41;
constexpr std::uint16_t kPidBirthday = 0x3A42;
constexpr std::uint16_t kPidGender = 0x3A4D;
constexpr std::uint16_t kPidAddrTypes = 0x3A54;
constexpr std::uint16_t kPidDefaultAddressIndex = 0x3A55;
constexpr std::uint16_t kPidEmailAddresses = 0x3A56;
constexpr std::uint16_t kPidChildren = 0x3A58;
constexpr std::uint16_t kPidMembers = 0x6600;  // WAB-private: member record IDs

// The standard property each text field comes from. Fields from named
// properties (phonetic names, IM address, IP phone) are resolved through the
// book's own map instead.
struct FieldSource {
  Field field;
  std::uint16_t id;
};
constexpr FieldSource kStandardFields[] = {
    {Field::Prefix, 0x3A45},         {Field::GivenName, 0x3A06},      {Field::MiddleName, 0x3A44},
    {Field::Surname, 0x3A11},        {Field::Suffix, 0x3A05},         {Field::Nickname, 0x3A4F},
    {Field::Company, 0x3A16},        {Field::Department, 0x3A18},     {Field::JobTitle, 0x3A17},
    {Field::Office, 0x3A19},         {Field::BusinessStreet, 0x3A29}, {Field::BusinessCity, 0x3A27},
    {Field::BusinessState, 0x3A28},  {Field::BusinessPostalCode, 0x3A2A},
    {Field::BusinessCountry, 0x3A26}, {Field::BusinessPhone, 0x3A08}, {Field::BusinessFax, 0x3A24},
    {Field::Pager, 0x3A21},          {Field::BusinessWeb, 0x3A51},    {Field::HomeStreet, 0x3A5D},
    {Field::HomeCity, 0x3A59},       {Field::HomeState, 0x3A5C},      {Field::HomePostalCode, 0x3A5B},
    {Field::HomeCountry, 0x3A5A},    {Field::HomePhone, 0x3A09},      {Field::HomeFax, 0x3A25},
    {Field::Mobile, 0x3A1C},         {Field::PersonalWeb, 0x3A50},    {Field::Spouse, 0x3A48},
    {Field::Notes, 0x3004},
};

// What a property means to the model. Values below kFieldCount are text
// fields (Field); the rest name the other things a record holds.
enum Slot : std::uint8_t {
  kSlotNone = 0xFF,
  kSlotDisplayName = 100,
  kSlotAddrType,
  kSlotEmailAddress,
  kSlotEmailList,
  kSlotAddrTypes,
  kSlotDefaultIndex,
  kSlotChildren,
  kSlotGender,
  kSlotBirthday,
  kSlotAnniversary,
  kSlotModified,
  kSlotMembers,
  kSlotOneOffMembers,
  kSlotFolderLink,
  kSlotSubFolders,
};
static_assert(kFieldCount < kSlotDisplayName, "slots must not collide with fields");

// Standard IDs live in 0x3000..0x3AFF (plus the member list), so one small
// table gives each its slot.
constexpr std::uint16_t kStandardBase = 0x3000;
constexpr std::size_t kStandardSpan = 0xB00;

constexpr std::array<std::uint8_t, kStandardSpan> MakeStandardSlots() {
  std::array<std::uint8_t, kStandardSpan> t{};
  for (auto& v : t) v = kSlotNone;
  for (const auto& s : kStandardFields) t[s.id - kStandardBase] = static_cast<std::uint8_t>(s.field);
  t[kPidDisplayName - kStandardBase] = kSlotDisplayName;
  t[kPidAddrType - kStandardBase] = kSlotAddrType;
  t[kPidEmailAddress - kStandardBase] = kSlotEmailAddress;
  t[kPidEmailAddresses - kStandardBase] = kSlotEmailList;
  t[kPidAddrTypes - kStandardBase] = kSlotAddrTypes;
  t[kPidDefaultAddressIndex - kStandardBase] = kSlotDefaultIndex;
  t[kPidChildren - kStandardBase] = kSlotChildren;
  t[kPidGender - kStandardBase] = kSlotGender;
  t[kPidBirthday - kStandardBase] = kSlotBirthday;
  t[kPidAnniversary - kStandardBase] = kSlotAnniversary;
  t[kPidLastModified - kStandardBase] = kSlotModified;
  return t;
}
constexpr auto kStandardSlots = MakeStandardSlots();

constexpr bool StandardFieldsDistinct() {
  for (std::size_t a = 0; a < std::size(kStandardFields); ++a) {
    if (kStandardFields[a].id < kStandardBase || static_cast<std::size_t>(kStandardFields[a].id - kStandardBase) >= kStandardSpan)
      return false;
    for (std::size_t b = a + 1; b < std::size(kStandardFields); ++b)
      if (kStandardFields[a].id == kStandardFields[b].id || kStandardFields[a].field == kStandardFields[b].field)
        return false;
  }
  return true;
}
static_assert(StandardFieldsDistinct(), "each field comes from one property and each property feeds one field");

// Property-set GUIDs of the named properties the model reads (Windows byte order).
constexpr std::array<std::uint8_t, 16> kPsetidAddress{0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::array<std::uint8_t, 16> kMessengerSet{0xE0, 0x7E, 0xAD, 0x2B, 0xAB, 0x36, 0xD1, 0x11,
                                                     0x9B, 0xAC, 0x00, 0xA0, 0xC9, 0x1F, 0x9C, 0x8B};
// The address book's own named set shares the GUID of the old signature.
constexpr const std::array<std::uint8_t, 16>& kWabSet = kOldSignature;
// Long entry IDs of address-book objects carry this provider GUID.
constexpr std::array<std::uint8_t, 16> kWabEntryGuid{0xC0, 0x91, 0xAD, 0xD3, 0x51, 0x9D, 0xCF, 0x11,
                                                     0xA4, 0xA9, 0x00, 0xAA, 0x00, 0x47, 0xFA, 0xA4};
// [MS-OXCDATA] 2.2.5.1: the provider UID of one-off entry IDs.
constexpr std::array<std::uint8_t, 16> kOneOffUid{0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                  0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

struct NamedSource {
  const std::array<std::uint8_t, 16>* set;
  std::uint32_t lid;  // 0: the string name below
  const char* name;
  std::uint16_t fallbackId;  // where books made by Windows XP keep it
  std::uint8_t slot;
};
constexpr NamedSource kNamedSources[] = {
    {&kPsetidAddress, 0x802C, nullptr, 0x800E, static_cast<std::uint8_t>(Field::PhoneticGivenName)},
    {&kPsetidAddress, 0x802D, nullptr, 0x800F, static_cast<std::uint8_t>(Field::PhoneticSurname)},
    {&kMessengerSet, 0, "MsgrID", 0x8012, static_cast<std::uint8_t>(Field::Im)},
    {&kWabSet, 0x8007, nullptr, 0x800A, static_cast<std::uint8_t>(Field::IpPhone)},
    {&kWabSet, 0x8002, nullptr, 0x8005, kSlotSubFolders},
    {&kWabSet, 0x8006, nullptr, 0x8009, kSlotOneOffMembers},
    {&kWabSet, 0x8008, nullptr, 0x800B, kSlotFolderLink},
};

// Slots of the file-local IDs 0x8000..0xFFFF, from the book's named-property
// map (header +0x84): per GUID a count, then (tag, byte length, UTF-16 name)
// entries; numeric names are U+0001 followed by the decimal LID.
class NamedSlots {
 public:
  explicit NamedSlots(std::string_view bytes) {
    slots_.fill(kSlotNone);
    if (!Read(bytes)) {
      // No usable map: the numbers every known book uses.
      slots_.fill(kSlotNone);
      for (const auto& s : kNamedSources) slots_[s.fallbackId - 0x8000u] = s.slot;
    }
  }
  std::uint8_t operator[](std::uint16_t id) const { return slots_[id - 0x8000u]; }

 private:
  bool Read(std::string_view bytes) {
    if (bytes.size() < kHeaderSize) return false;
    const TableDescriptor d = TableDescriptor::Decode(bytes.substr(header::kNamedMap));
    const std::uint64_t used = d.used, offset = d.offset, groups = d.count;
    if (used == 0 || groups == 0 || offset + used > bytes.size()) return false;
    const std::string_view map(bytes.data() + offset, used);
    std::size_t pos = 0;
    bool any = false;
    std::u16string name;
    for (std::uint64_t g = 0; g < groups; ++g) {
      if (pos + 20 > map.size()) return any;
      const auto* guid = map.data() + pos;
      const std::uint32_t n = Le32(map, pos + 16);
      pos += 20;
      for (std::uint32_t k = 0; k < n; ++k) {
        if (pos + 8 > map.size()) return any;
        const std::uint32_t tag = Le32(map, pos);
        const std::uint32_t len = Le32(map, pos + 4);
        pos += 8;
        if (len > map.size() - pos) return any;
        const std::string_view raw = map.substr(pos, len);
        pos += len;
        const std::uint16_t id = static_cast<std::uint16_t>(tag >> 16);
        if (id < 0x8000) continue;
        any = true;
        name.clear();
        for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
          const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                                   (static_cast<unsigned char>(raw[i + 1]) << 8));
          if (c == 0) break;
          name += c;
        }
        for (const auto& s : kNamedSources) {
          if (std::memcmp(guid, s.set->data(), 16) != 0) continue;
          if (s.lid != 0 ? LidOf(name) == s.lid : Equals(name, s.name)) slots_[id - 0x8000u] = s.slot;
        }
      }
    }
    return any;
  }

  static std::uint32_t LidOf(const std::u16string& name) {
    if (name.size() < 2 || name.size() > 11 || name[0] != 1) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = 1; i < name.size(); ++i) {
      if (name[i] < u'0' || name[i] > u'9') return 0;
      v = v * 10 + (name[i] - u'0');
    }
    return v > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(v);
  }

  static bool Equals(const std::u16string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != static_cast<unsigned char>(b[i])) return false;
    return true;
  }

  std::array<std::uint8_t, 0x8000> slots_{};
};

// The elements of a multi-valued property, walked once in order (bounds were
// checked when the record was parsed).
class Elements {
 public:
  explicit Elements(const Property& p) : rest_(p.data), left_(p.count) {}
  bool Next(std::string_view& e) {
    if (left_ == 0 || rest_.size() < 4) return false;
    const std::uint32_t len = Le32(rest_, 0);
    rest_.remove_prefix(4);
    if (len > rest_.size()) return false;
    e = rest_.substr(0, len);
    rest_.remove_prefix(len);
    --left_;
    return true;
  }

 private:
  std::string_view rest_;
  std::uint32_t left_;
};

bool IsUnicode(const Property& p) { return (p.type() & ~kMultiValued) == kTypeUnicode; }

// Property types MAPI defines, single and multi-valued; any other type is
// stepped over and counted.
bool IsKnownType(std::uint16_t type) {
  switch (type & ~kMultiValued) {
    case 0x0001: case 0x0002: case 0x0003: case 0x0004: case 0x0005: case 0x0006: case 0x0007:
    case 0x000A: case 0x000B: case 0x000D: case 0x0014: case 0x001E: case 0x001F: case 0x0040:
    case 0x0048: case 0x00FB: case 0x00FD: case 0x00FE: case 0x0102:
      return true;
    default:
      return false;
  }
}

// Days since 1601-01-01 to a civil date (proleptic Gregorian).
Date DateOfDays(std::int64_t days) {
  // Shift to days since 0000-03-01, where leap days fall at the end of a year.
  const std::int64_t z = days + 584694;  // 1601-01-01 is day 584694 of that count
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  return {y, m, d};
}

// The calendar date of a FILETIME as stored: the address book keeps the day
// the person entered with the local wall-clock time, so no zone applies.
Date DateOfFileTime(std::uint64_t ft) {
  constexpr std::uint64_t kTicksPerDay = 864000000000ull;
  return DateOfDays(static_cast<std::int64_t>(ft / kTicksPerDay));
}

constexpr std::int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

// The record ID an entry ID names: the short form (4 bytes) or the long
// address-book form (flags, provider GUID, kind byte, length 4, record ID).
std::optional<std::uint32_t> RecordIdOfEntryId(std::string_view e) {
  if (e.size() == 4) return Le32(e, 0);
  if (e.size() >= 29 && std::memcmp(e.data() + 4, kWabEntryGuid.data(), 16) == 0 && Le32(e, 21) == 4)
    return Le32(e, 25);
  return std::nullopt;
}

// A one-off entry ID ([MS-OXCDATA] 2.2.5.1): 4 flag bytes, the one-off UID,
// version and flags (0x8000: UTF-16 strings), then display name, address
// type and address, each NUL-terminated.
bool ReadOneOff(std::string_view e, int codePage, Member& out) {
  if (e.size() < 24 || std::memcmp(e.data() + 4, kOneOffUid.data(), 16) != 0) return false;
  const bool unicode = (static_cast<unsigned char>(e[23]) & 0x80) != 0;
  std::string_view rest = e.substr(24);
  std::string* parts[3] = {&out.displayName, &out.addressType, &out.email};
  for (auto* part : parts) {
    std::size_t end = 0;
    if (unicode) {
      while (end + 1 < rest.size() && (rest[end] != 0 || rest[end + 1] != 0)) end += 2;
      if (end + 1 >= rest.size()) end = rest.size();
    } else {
      end = rest.find('\0');
      if (end == std::string_view::npos) end = rest.size();
    }
    *part = DecodeText(rest.substr(0, end), unicode, codePage);
    rest.remove_prefix(std::min(rest.size(), end + (unicode ? 2 : 1)));
  }
  out.kind = Member::Kind::OneOff;
  out.id = 0;
  return true;
}

// What a record says about other records, resolved once the whole book is read.
struct Links {
  std::vector<std::uint32_t> subFolders;
  std::vector<Member> oneOffs;
  std::optional<std::uint32_t> folderLink;
};

class Decoder {
 public:
  Decoder(const WabFile& file, int codePage) : names_(file.Bytes()), codePage_(codePage) {}

  std::uint32_t skippedProperties = 0;

  // Decodes rec into c, a fresh object, and its member list. Nothing in a
  // record is fatal: a property of a type or shape the model does not read
  // is counted. With only, the texts of other fields and the display name
  // are left empty (counted all the same).
  void Decode(const Record& rec, Contact& c, std::vector<Member>& members, Links& out,
              const FieldSet* only = nullptr) {
    out.subFolders.clear();
    out.oneOffs.clear();
    out.folderLink.reset();
    c.id = rec.recordId;

    const Property* list = nullptr;
    const Property* types = nullptr;
    const Property* single = nullptr;
    const Property* singleType = nullptr;
    std::optional<std::uint32_t> defaultIndex;
    bool haveDisplay = false;
    std::array<bool, kFieldCount> have{};

    for (const Property& p : rec.properties) {
      const std::uint16_t id = p.id();
      const std::uint16_t type = p.type();
      if (!IsKnownType(type)) {
        ++skippedProperties;
        continue;
      }
      std::uint8_t slot = kSlotNone;
      if (id >= 0x8000)
        slot = names_[id];
      else if (id == kPidMembers)
        slot = kSlotMembers;
      else if (id >= kStandardBase && id - kStandardBase < static_cast<int>(kStandardSpan))
        slot = kStandardSlots[id - kStandardBase];
      if (slot == kSlotNone) continue;  // a property the model has no place for

      bool used = true;
      if (slot < kFieldCount) {
        if (IsText(p)) {
          if (!have[slot]) {
            have[slot] = true;
            if (!only || (*only)[slot]) DecodeText(p.data, IsUnicode(p), codePage_, c.fields[slot]);
          }
        } else {
          used = false;
        }
      } else {
        switch (slot) {
          case kSlotDisplayName:
            used = IsText(p);
            if (used && !haveDisplay) {
              haveDisplay = true;
              if (!only) DecodeText(p.data, IsUnicode(p), codePage_, c.displayName);
            }
            break;
          case kSlotEmailAddress:
            used = IsText(p);
            if (used && !single) single = &p;
            break;
          case kSlotAddrType:
            used = IsText(p);
            if (used && !singleType) singleType = &p;
            break;
          case kSlotEmailList:
            used = IsTextList(p);
            if (used && !list) list = &p;
            break;
          case kSlotAddrTypes:
            used = IsTextList(p);
            if (used && !types) types = &p;
            break;
          case kSlotDefaultIndex:
            used = p.type() == kTypeLong && p.data.size() == 4;
            if (used && !defaultIndex) defaultIndex = Le32(p.data, 0);
            break;
          case kSlotChildren:
            used = IsTextList(p);
            if (used && c.children.empty()) {
              Elements it(p);
              std::string_view e;
              while (it.Next(e)) {
                std::string text = DecodeText(e, IsUnicode(p), codePage_);
                if (!text.empty()) c.children.push_back(std::move(text));
              }
            }
            break;
          case kSlotGender: {
            std::uint32_t v = 0;
            if (p.type() == kTypeI2 && p.data.size() == 2)
              v = le::Get16(p.data.data());
            else if (p.type() == kTypeLong && p.data.size() == 4)
              v = Le32(p.data, 0);
            else
              used = false;
            if (used) c.gender = v == 1 ? Gender::Female : v == 2 ? Gender::Male : Gender::Unspecified;
            break;
          }
          case kSlotBirthday:
          case kSlotAnniversary:
          case kSlotModified: {
            used = p.type() == kTypeSysTime && p.data.size() == 8;
            if (!used) break;
            const std::uint64_t ft = Le64(p.data, 0);
            if (slot == kSlotModified)
              c.modified = static_cast<std::int64_t>(ft / 10000000) - kUnixEpochSeconds;
            else if (ft != 0)
              (slot == kSlotBirthday ? c.birthday : c.anniversary) = DateOfFileTime(ft);
            break;
          }
          case kSlotMembers:
          case kSlotOneOffMembers:
            used = p.type() == (kTypeBinary | kMultiValued) || p.type() == kTypeBinary;
            if (used) ReadMembers(p, members, out.oneOffs);
            break;
          case kSlotFolderLink:
          case kSlotSubFolders:
            used = p.type() == (kTypeBinary | kMultiValued) || p.type() == kTypeBinary;
            if (!used) break;
            ForEachBinary(p, [&](std::string_view e) {
              const auto target = RecordIdOfEntryId(e);
              if (!target) return;
              if (slot == kSlotSubFolders)
                out.subFolders.push_back(*target);
              else if (!out.folderLink)
                out.folderLink = *target;
            });
            break;
          default:
            used = false;
        }
      }
      if (!used) ++skippedProperties;
    }
    ReadEmails(list, types, single, singleType, defaultIndex, c.emails);
  }

 private:
  template <typename F>
  static void ForEachBinary(const Property& p, F&& f) {
    if (!p.multiValued()) {
      f(p.data);
      return;
    }
    Elements it(p);
    std::string_view e;
    while (it.Next(e)) f(e);
  }

  // Record IDs (short or long entry IDs) and one-off entries; empty
  // elements (folders start their lists with one) are passed over.
  void ReadMembers(const Property& p, std::vector<Member>& records, std::vector<Member>& oneOffs) {
    ForEachBinary(p, [&](std::string_view e) {
      if (e.empty()) return;
      if (const auto target = RecordIdOfEntryId(e)) {
        records.push_back({Member::Kind::Record, *target, {}, {}, {}});
        return;
      }
      Member m;
      if (ReadOneOff(e, codePage_, m))
        oneOffs.push_back(std::move(m));
      else
        ++skippedProperties;  // an element nobody can read; the others stay
    });
  }

  void ReadEmails(const Property* list, const Property* types, const Property* single,
                  const Property* singleType, std::optional<std::uint32_t> defaultIndex,
                  std::vector<EmailAddress>& out) {
    std::string singleAddress = single ? DecodeText(single->data, IsUnicode(*single), codePage_) : std::string();
    std::optional<std::size_t> chosen;
    if (list) {
      Elements addresses(*list);
      std::optional<Elements> kinds;
      if (types) kinds.emplace(*types);
      std::string_view e, t;
      for (std::uint32_t i = 0; addresses.Next(e); ++i) {
        const bool haveType = kinds && kinds->Next(t);
        std::string address = DecodeText(e, IsUnicode(*list), codePage_);
        if (address.empty()) continue;
        if (defaultIndex && *defaultIndex == i) chosen = out.size();
        out.push_back({std::move(address),
                       haveType ? DecodeText(t, IsUnicode(*types), codePage_) : std::string(), false});
      }
    }
    // The address kept on its own repeats the default; when the list lacks
    // it (or there is no list) it is an address of its own.
    if (!singleAddress.empty()) {
      std::optional<std::size_t> found;
      for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].address == singleAddress) {
          found = i;
          break;
        }
      if (!found) {
        out.push_back({std::move(singleAddress),
                       singleType ? DecodeText(singleType->data, IsUnicode(*singleType), codePage_)
                                  : std::string(),
                       false});
        found = out.size() - 1;
      }
      if (!chosen) chosen = found;
    }
    if (!out.empty()) out[chosen.value_or(0)].isDefault = true;
  }

  NamedSlots names_;
  int codePage_;
};

// The object with this ID in a vector kept in ID order, or nullptr.
template <typename V>
auto FindById(V& v, std::uint32_t id) -> decltype(v.data()) {
  auto it = std::lower_bound(v.begin(), v.end(), id, [](const auto& a, std::uint32_t b) { return a.id < b; });
  return it != v.end() && it->id == id ? &*it : nullptr;
}

// Record-id order. Books list their records by id already, so this is
// mostly a check; otherwise each object moves once.
template <typename T>
void SortById(std::vector<T>& v) {
  if (std::is_sorted(v.begin(), v.end(), [](const T& a, const T& b) { return a.id < b.id; })) return;
  std::vector<std::pair<std::uint32_t, std::size_t>> order;
  order.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) order.emplace_back(v[i].id, i);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<T> sorted;
  sorted.reserve(v.size());
  for (const auto& o : order) sorted.push_back(std::move(v[o.second]));
  v = std::move(sorted);
}

// Obsolete copies of contacts whose record ID the index no longer lists:
// for each such ID the copy written last (greatest offset), as (ID, offset)
// in ID order. The record area
// is walked copy by copy; bytes that hold no record (the tables, the map,
// damage) are stepped over one at a time until a record header fits.
std::vector<std::pair<std::uint32_t, std::uint32_t>> DeletedCopies(const WabFile& file) {
  const std::string_view bytes = file.Bytes();
  const auto& tables = file.Tables();

  std::vector<std::uint32_t> live;  // every ID the index lists, readable or not
  live.reserve(tables[0].count);
  for (std::uint32_t i = 0; i < tables[0].count; ++i)
    live.push_back(IndexSlot::Decode(bytes.substr(tables[0].offset + std::uint64_t{IndexSlot::kSize} * i)).recordId);
  std::sort(live.begin(), live.end());

  // Regions that hold no records.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reserved;
  reserved.emplace_back(0, kHeaderSize);
  for (const auto& t : tables)
    if (t.allocated != 0) reserved.emplace_back(t.offset, std::uint64_t{t.offset} + t.allocated);
  {
    const TableDescriptor map = TableDescriptor::Decode(bytes.substr(header::kNamedMap));
    const std::uint64_t mapRoom = map.allocated, mapOffset = map.offset;
    if (mapOffset >= kHeaderSize && mapOffset + mapRoom <= bytes.size())
      reserved.emplace_back(mapOffset, mapOffset + mapRoom);
  }
  std::sort(reserved.begin(), reserved.end());

  std::vector<std::pair<std::uint32_t, std::uint32_t>> found;  // (record ID, offset)
  Record rec;
  const std::uint64_t size = bytes.size();
  std::size_t r = 0;
  std::uint64_t pos = 0;
  while (pos + kRecordHeaderSize <= size) {
    while (r < reserved.size() && reserved[r].second <= pos) ++r;
    if (r < reserved.size() && reserved[r].first <= pos) {
      pos = reserved[r].second;
      continue;
    }
    // A header's fixed words first, so most bytes cost a few compares.
    const RecordHeader h = RecordHeader::Decode(bytes.substr(pos));
    if (h.copy > 1 || h.kind < 1 || h.kind > 3 || h.headerSize != kRecordHeaderSize ||
        h.tagBytes != h.tagBytes2 || h.tagBytes % 4 != 0 ||
        !file.ReadRecord(static_cast<std::uint32_t>(pos), rec)) {
      ++pos;
      continue;
    }
    if (!rec.current && rec.kind == static_cast<std::uint32_t>(RecordKind::Contact) &&
        !std::binary_search(live.begin(), live.end(), rec.recordId))
      found.emplace_back(rec.recordId, static_cast<std::uint32_t>(pos));
    pos += rec.size;
  }
  // The last write of each ID wins; offsets grow along the walk.
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::pair<std::uint32_t, std::uint32_t>> last;
  for (std::size_t i = 0; i < found.size(); ++i)
    if (i + 1 == found.size() || found[i + 1].first != found[i].first) last.push_back(found[i]);
  return last;
}

// Empties a contact for the next one, keeping the room its texts had.
void Reset(Contact& c) {
  c.id = 0;
  c.displayName.clear();
  for (auto& f : c.fields) f.clear();
  c.emails.clear();
  c.children.clear();
  c.gender = Gender::Unspecified;
  c.birthday = {};
  c.anniversary = {};
  c.modified.reset();
  c.folder.reset();
  c.groups.clear();
  c.deleted = false;
}

// Reads a book in two passes over its records. The first decodes folders
// and groups (few) and notes where each contact is; the second decodes the
// contacts one by one in record-id order, each once, complete with its
// folder and groups, for the caller to keep or to write out and forget.
class BookReader {
 public:
  BookReader(const WabFile& file, const BookOptions& options)
      : file_(file),
        codePage_(options.codePage != 0 ? options.codePage : codepage::SystemAnsiCodePage()),
        decoder_(file, codePage_) {
    book.codePage = codePage_;
    book.skippedRecords = file.Skipped();
    for (const auto& e : file.Records()) {
      switch (static_cast<RecordKind>(e.kind)) {
        case RecordKind::Contact:
          contacts_.push_back({e.recordId, e.offset, false});
          break;
        case RecordKind::Folder:
        case RecordKind::Group:
          ReadFolderOrGroup(e.offset);
          break;
        default:
          ++book.skippedRecords;  // a kind of object nobody knows
      }
    }
    if (options.recoverDeleted)
      for (const auto& [id, offset] : DeletedCopies(file)) contacts_.push_back({id, offset, true});
    // Live IDs are unique and recovered ones are not live: no ID twice.
    std::sort(contacts_.begin(), contacts_.end(),
              [](const ContactEntry& a, const ContactEntry& b) { return a.id < b.id; });
    SortById(book.folders);
    SortById(book.groups);
    ResolveFolders();
    ResolveMembers();
    book.skippedProperties = decoder_.skippedProperties;  // the folders' and groups'
  }

  std::size_t ContactCount() const { return contacts_.size(); }

  // The position of a contact's record id, or nullopt when it is no contact here.
  std::optional<std::size_t> IndexOf(std::uint32_t id) const {
    auto it = std::lower_bound(contacts_.begin(), contacts_.end(), id,
                               [](const ContactEntry& e, std::uint32_t v) { return e.id < v; });
    if (it == contacts_.end() || it->id != id) return std::nullopt;
    return static_cast<std::size_t>(it - contacts_.begin());
  }

  // Decodes the contact at position i into c (emptied first); false, and
  // counted once, when its record is damaged.
  bool ReadAt(std::size_t i, Contact& c, const FieldSet* only = nullptr) {
    const ContactEntry& e = contacts_[i];
    if (!file_.ReadRecord(e.offset, rec_)) {
      if (!(e.seen & kCounted)) ++book.skippedRecords;
      contacts_[i].seen |= kCounted;
      return false;
    }
    // A long pass keeps only the pages it read lately mapped.
    release_.Passed(file_, rec_.size);
    DecodeAt(i, rec_, c, only);
    return true;
  }

  // Decodes rec, the record of the contact at position i, into c (emptied first).
  void DecodeAt(std::size_t i, const Record& rec, Contact& c, const FieldSet* only = nullptr) {
    ContactEntry& e = contacts_[i];
    Reset(c);
    scratchMembers_.clear();
    const std::uint32_t skippedBefore = decoder_.skippedProperties;
    decoder_.Decode(rec, c, scratchMembers_, links_, only);
    c.id = e.id;
    c.deleted = e.recovered;
    // A contact read twice is counted once.
    if (!(e.seen & kCounted)) {
      book.skippedProperties += decoder_.skippedProperties - skippedBefore;
      if (e.recovered) ++book.deletedRecovered;
      e.seen |= kCounted;
    }
    // Its own folder link when that names a folder; else the folder listing it.
    if (links_.folderLink && book.FindFolder(*links_.folderLink)) c.folder = links_.folderLink;
    const auto byContact = [](const auto& pair, std::uint32_t id) { return pair.first < id; };
    if (!c.folder)
      if (auto f = std::lower_bound(contactFolders_.begin(), contactFolders_.end(), c.id, byContact);
          f != contactFolders_.end() && f->first == c.id)
        c.folder = f->second;
    for (auto m = std::lower_bound(memberships_.begin(), memberships_.end(), c.id, byContact);
         m != memberships_.end() && m->first == c.id; ++m)
      c.groups.push_back(m->second);
  }

  const WabFile& File() const { return file_; }

  Book book;  // folders and groups; contacts only as the caller keeps them

 private:
  struct ContactEntry {
    std::uint32_t id;
    std::uint32_t offset;
    bool recovered;
    std::uint8_t seen = 0;  // kCounted once its losses are in the book's counts
  };
  static constexpr std::uint8_t kCounted = 1;
  PageRelease release_;

  void ReadFolderOrGroup(std::uint32_t offset) {
    if (!file_.ReadRecord(offset, rec_)) {
      ++book.skippedRecords;
      return;
    }
    if (rec_.kind == static_cast<std::uint32_t>(RecordKind::Group)) {
      Group& g = book.groups.emplace_back();
      decoder_.Decode(rec_, g, g.members, links_);
      g.folder = links_.folderLink;  // checked once every folder is known
      for (auto& m : links_.oneOffs) g.members.push_back(std::move(m));
      return;
    }
    Reset(scratch_);
    scratchMembers_.clear();
    decoder_.Decode(rec_, scratch_, scratchMembers_, links_);
    Folder& f = book.folders.emplace_back();
    f.id = rec_.recordId;
    f.displayName = std::move(scratch_.displayName);
    for (auto child : links_.subFolders) subFolders_.emplace_back(f.id, child);
    for (const auto& m : scratchMembers_) folderMembers_.emplace_back(m.id, f.id);
    if (links_.folderLink) ownLinks_.emplace_back(f.id, *links_.folderLink);
  }

  bool IsContact(std::uint32_t id) const {
    return std::binary_search(contacts_.begin(), contacts_.end(), ContactEntry{id, 0, false},
                              [](const ContactEntry& a, const ContactEntry& b) { return a.id < b.id; });
  }

  void ResolveFolders() {
    // A folder's parent: its own link; else the folder whose sub-folder list names it.
    for (const auto& [child, parent] : ownLinks_)
      if (Folder* f = FindById(book.folders, child); f && parent != child && book.FindFolder(parent))
        f->parent = parent;
    for (const auto& [parent, child] : subFolders_)
      if (Folder* f = FindById(book.folders, child); f && !f->parent && parent != child && book.FindFolder(parent))
        f->parent = parent;
    // Each object's folder: its own link when that names a folder; else the
    // folder listing it (the first one, when several do).
    for (auto& g : book.groups)
      if (g.folder && !book.FindFolder(*g.folder)) g.folder.reset();
    std::stable_sort(folderMembers_.begin(), folderMembers_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [object, folder] : folderMembers_) {
      if (Group* g = FindById(book.groups, object)) {
        if (!g->folder) g->folder = folder;
      } else if (IsContact(object)) {
        if (contactFolders_.empty() || contactFolders_.back().first != object)
          contactFolders_.emplace_back(object, folder);
      }
    }
  }

  // Members naming a contact or group of the book stay records, the rest
  // are missing; each contact's groups are noted for the second pass.
  void ResolveMembers() {
    for (const auto& g : book.groups)
      for (const auto& m : g.members)
        if (m.kind == Member::Kind::Record && IsContact(m.id)) memberships_.emplace_back(m.id, g.id);
    for (auto& g : book.groups)
      for (auto& m : g.members)
        if (m.kind == Member::Kind::Record && !IsContact(m.id) && !book.FindGroup(m.id))
          m.kind = Member::Kind::Missing;
    std::sort(memberships_.begin(), memberships_.end());
    memberships_.erase(std::unique(memberships_.begin(), memberships_.end()), memberships_.end());
  }

  const WabFile& file_;
  int codePage_;
  Decoder decoder_;
  Record rec_;
  Links links_;
  Contact scratch_;                     // a folder's card, before it becomes a Folder
  std::vector<Member> scratchMembers_;  // member lists of records that are not groups
  std::vector<ContactEntry> contacts_;  // record-id order
  std::vector<std::pair<std::uint32_t, std::uint32_t>> subFolders_;     // (parent, child)
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ownLinks_;       // (folder, its parent link)
  std::vector<std::pair<std::uint32_t, std::uint32_t>> folderMembers_;  // (object, folder)
  std::vector<std::pair<std::uint32_t, std::uint32_t>> contactFolders_;  // (contact, folder listing it)
  std::vector<std::pair<std::uint32_t, std::uint32_t>> memberships_;     // (contact, group)
};

}  // namespace

const EmailAddress* Contact::DefaultEmail() const {
  for (const auto& e : emails)
    if (e.isDefault) return &e;
  return nullptr;
}

const Folder* Book::FindFolder(std::uint32_t id) const { return FindById(folders, id); }
const Contact* Book::FindContact(std::uint32_t id) const { return FindById(contacts, id); }
const Group* Book::FindGroup(std::uint32_t id) const { return FindById(groups, id); }

Book ReadBook(const WabFile& file, const BookOptions& options) {
  BookReader reader(file, options);
  auto& contacts = reader.book.contacts;
  contacts.reserve(reader.ContactCount());
  // Tens of megabytes for a large book, first touched as its contacts are read.
  os::PreferHugePages(contacts.data(), contacts.capacity() * sizeof(Contact));
  for (std::size_t i = 0; i < reader.ContactCount(); ++i)
    if (!reader.ReadAt(i, contacts.emplace_back())) contacts.pop_back();
  return std::move(reader.book);
}

Book ReadBook(const WabFile& file, const BookOptions& options, const ContactVisitor& visit) {
  BookReader reader(file, options);
  Contact c;
  for (std::size_t i = 0; i < reader.ContactCount(); ++i)
    if (reader.ReadAt(i, c)) visit(reader.book, c);
  return std::move(reader.book);
}

struct BookContacts::Impl {
  Impl(const WabFile& file, const BookOptions& options) : reader(file, options) {}
  BookReader reader;
};

BookContacts::BookContacts(const WabFile& file, const BookOptions& options)
    : impl_(std::make_unique<Impl>(file, options)) {}
BookContacts::~BookContacts() = default;

const Book& BookContacts::Outline() const { return impl_->reader.book; }
std::size_t BookContacts::Count() const { return impl_->reader.ContactCount(); }

bool BookContacts::ReadAt(std::size_t i, Contact& c) { return ReadAt(i, c, nullptr); }

bool BookContacts::ReadAt(std::size_t i, Contact& c, const FieldSet* only) {
  const bool read = i < Count() && impl_->reader.ReadAt(i, c, only);
  if (!impl_->reader.File().Intact()) throw automation::AutomationError(kBookCutShort);
  return read;
}

std::optional<std::size_t> BookContacts::Position(std::uint32_t id) const { return impl_->reader.IndexOf(id); }

bool BookContacts::ReadId(std::uint32_t id, Contact& c) {
  const auto at = impl_->reader.IndexOf(id);
  return at && ReadAt(*at, c);
}

bool BookContacts::Decode(const Record& rec, Contact& c) {
  const auto at = impl_->reader.IndexOf(rec.recordId);
  if (!at) return false;
  impl_->reader.DecodeAt(*at, rec, c);
  // The record's bytes are the mapped book's: as ReadAt, a book cut short is no contact.
  if (!impl_->reader.File().Intact()) throw automation::AutomationError(kBookCutShort);
  return true;
}

Book LoadBook(const std::string& path, const BookOptions& options) {
  const WabFile file = OpenBookFile(path);
  return ReadBook(file, options);
}

Book LoadBook(const std::string& path, const BookOptions& options, const ContactVisitor& visit) {
  const WabFile file = OpenBookFile(path);
  return ReadBook(file, options, visit);
}

}  // namespace wab

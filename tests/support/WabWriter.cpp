#include "WabWriter.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/codepage/CodePage.h"
#include "platform/wab/BookLayout.h"
#include "support/LittleEndian.h"

namespace testsupport {
namespace wab {
namespace {

constexpr std::array<std::uint8_t, 16> kSignature{0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11,
                                                  0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};
constexpr std::array<std::uint8_t, 16> kOldSignature{0x81, 0x32, 0x84, 0xC1, 0x85, 0x05, 0xD0, 0x11,
                                                     0xB2, 0x90, 0x00, 0xAA, 0x00, 0x3C, 0xF6, 0x76};
constexpr std::array<std::uint8_t, 16> kPsetidAddress{0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::array<std::uint8_t, 16> kMessengerSet{0xE0, 0x7E, 0xAD, 0x2B, 0xAB, 0x36, 0xD1, 0x11,
                                                     0x9B, 0xAC, 0x00, 0xA0, 0xC9, 0x1F, 0x9C, 0x8B};

constexpr std::uint32_t kHeaderEnd = 0xA4;     // header plus a spare 16 bytes
constexpr std::uint32_t kMapRoom = 0x800;      // room reserved for the named-property map
constexpr std::uint32_t kIndexEntry = ::wab::IndexSlot::kSize;
constexpr std::uint32_t kTextEntry = 68;
// 2014-09-30 06:49 UTC as a FILETIME.
constexpr std::uint64_t kModified = 0x01CFDC7A1B2C3D40ull;

void Put32(std::string& out, std::uint32_t v) { le::Append32(out, v); }
using le::Set32;
std::string Le32(std::uint32_t v) { return le::Bytes32(v); }

std::string Utf16z(std::string_view utf8) {
  return codepage::Utf8ToUtf16le(utf8) + std::string(2, '\0');
}

std::string Ansiz(std::string_view utf8, int codePage) {
  return codepage::FromUtf8(utf8, codePage).bytes + std::string(1, '\0');
}

// The named-property map a book made by the Windows XP address book has.
std::string NamedPropertyMap(std::uint32_t* groups) {
  struct Group {
    const std::array<std::uint8_t, 16>* guid;
    std::vector<std::pair<std::uint16_t, std::string>> names;
  };
  const Group map[] = {
      {&kPsetidAddress,
       {{0x8000, "\x01" "32854"}, {0x8001, "\x01" "32855"}, {0x8002, "\x01" "32856"},
        {0x8003, "\x01" "32857"}, {0x800E, "\x01" "32812"}, {0x800F, "\x01" "32813"},
        {0x8010, "\x01" "32814"}, {0x8011, "\x01" "32802"}}},
      {&kOldSignature,
       {{0x8004, "\x01" "32769"}, {0x8005, "\x01" "32770"}, {0x8006, "\x01" "32771"},
        {0x8007, "\x01" "32772"}, {0x8008, "\x01" "32773"}, {0x8009, "\x01" "32774"},
        {0x800A, "\x01" "32775"}, {0x800B, "\x01" "32776"}, {0x800C, "\x01" "32777"},
        {0x800D, "\x01" "32778"}}},
      {&kMessengerSet, {{0x8012, "MsgrID"}}},
  };
  std::string out;
  for (const auto& g : map) {
    out.append(reinterpret_cast<const char*>(g.guid->data()), 16);
    Put32(out, static_cast<std::uint32_t>(g.names.size()));
    for (const auto& [id, name] : g.names) {
      std::string n = Utf16z(name);
      Put32(out, static_cast<std::uint32_t>(id) << 16);
      Put32(out, static_cast<std::uint32_t>(n.size()));
      out += n;
    }
  }
  *groups = static_cast<std::uint32_t>(std::size(map));
  return out;
}

std::string EncodeRecord(const Record& r) {
  std::string tags, values;
  for (const auto& p : r.properties) {
    Put32(tags, p.tag);
    Put32(values, p.tag);
    if (p.tag & kMv) {
      std::string body;
      for (const auto& e : p.elements) {
        Put32(body, static_cast<std::uint32_t>(e.size()));
        body += e;
      }
      Put32(values, static_cast<std::uint32_t>(p.elements.size()));
      Put32(values, static_cast<std::uint32_t>(body.size()));
      values += body;
    } else {
      Put32(values, static_cast<std::uint32_t>(p.value.size()));
      values += p.value;
    }
  }
  const auto tagBytes = static_cast<std::uint32_t>(tags.size());
  const ::wab::RecordHeader header{r.current ? 1u : 0u, r.kind, r.recordId,
                                   static_cast<std::uint32_t>(r.properties.size()), ::wab::RecordHeader::kSize,
                                   tagBytes, tagBytes, static_cast<std::uint32_t>(values.size())};
  return header.Encode() + tags + values;
}

// One 68-byte sort-index entry: the text cut to fit 64 bytes with its NUL.
std::string TextEntry(const Property& p, std::uint32_t recordId) {
  std::string text = p.value;
  const bool unicode = (p.tag & 0xFFFF) == kUnicode;
  const std::size_t unit = unicode ? 2 : 1;
  // Drop the stored terminator, then cut to leave room for one.
  while (text.size() >= unit && text.compare(text.size() - unit, unit, std::string(unit, '\0')) == 0)
    text.resize(text.size() - unit);
  text.resize(std::min(text.size(), 64 - unit) / unit * unit);
  std::string entry = text;
  entry.resize(64, '\0');
  Put32(entry, recordId);
  return entry;
}

}  // namespace

Property Unicode(std::uint16_t id, std::string_view utf8) { return {Tag(id, kUnicode), Utf16z(utf8), {}}; }

Property String8(std::uint16_t id, std::string_view utf8, int codePage) {
  return {Tag(id, kString8), Ansiz(utf8, codePage), {}};
}

Property MvUnicode(std::uint16_t id, const std::vector<std::string>& utf8) {
  Property p{Tag(id, kUnicode | kMv), {}, {}};
  for (const auto& s : utf8) p.elements.push_back(Utf16z(s));
  return p;
}

Property MvString8(std::uint16_t id, const std::vector<std::string>& utf8, int codePage) {
  Property p{Tag(id, kString8 | kMv), {}, {}};
  for (const auto& s : utf8) p.elements.push_back(Ansiz(s, codePage));
  return p;
}

Property Long(std::uint16_t id, std::uint32_t value) { return {Tag(id, kLong), Le32(value), {}}; }

Property SysTime(std::uint16_t id, std::uint64_t fileTime) {
  return {Tag(id, kSysTime), Le32(static_cast<std::uint32_t>(fileTime)) + Le32(static_cast<std::uint32_t>(fileTime >> 32)), {}};
}

Property Raw(std::uint32_t tag, std::string bytes) { return {tag, std::move(bytes), {}}; }

Property RawList(std::uint32_t tag, std::vector<std::string> elements) { return {tag, {}, std::move(elements)}; }

std::vector<Property> Emails(const std::vector<std::string>& addresses, std::uint32_t defaultIndex,
                             bool eightBit, int codePage) {
  if (addresses.empty()) return {};
  std::vector<std::string> types(addresses.size(), "SMTP");
  const std::string& chosen = defaultIndex < addresses.size() ? addresses[defaultIndex] : addresses[0];
  if (eightBit)
    return {MvString8(kAddrTypes, types, codePage), MvString8(kEmailAddresses, addresses, codePage),
            Long(kDefaultAddressIndex, defaultIndex), String8(kAddrType, "SMTP", codePage),
            String8(kEmailAddress, chosen, codePage)};
  return {MvUnicode(kAddrTypes, types), MvUnicode(kEmailAddresses, addresses),
          Long(kDefaultAddressIndex, defaultIndex), Unicode(kAddrType, "SMTP"),
          Unicode(kEmailAddress, chosen)};
}

Record Contact(std::uint32_t recordId, std::vector<Property> fields) {
  Record r{recordId, kContact, true, std::move(fields)};
  r.properties.push_back(Raw(Tag(kEntryId, kBinary), Le32(recordId)));
  r.properties.push_back(Long(kObjectType, 6));
  r.properties.push_back(SysTime(kLastModified, kModified));
  return r;
}

static std::vector<std::string> MemberIds(const std::vector<std::uint32_t>& members) {
  std::vector<std::string> out;
  for (auto m : members) out.push_back(Le32(m));
  return out;
}

Record Group(std::uint32_t recordId, std::string_view name, const std::vector<std::uint32_t>& members) {
  return {recordId, kGroup, true,
          {SysTime(kLastModified, kModified), RawList(Tag(kMembers, kBinary | kMv), MemberIds(members)),
           Unicode(kDisplayName, name), Unicode(kAddrType, "MAPIPDL"),
           Raw(Tag(kEntryId, kBinary), Le32(recordId)), Long(kObjectType, 8)}};
}

Record Folder(std::uint32_t recordId, std::string_view name, const std::vector<std::uint32_t>& members) {
  std::vector<std::string> list{std::string()};  // folders' lists start with an empty element
  for (auto& m : MemberIds(members)) list.push_back(std::move(m));
  return {recordId, kFolder, true,
          {SysTime(kLastModified, kModified), RawList(Tag(kMembers, kBinary | kMv), std::move(list)),
           Long(kObjectType, 6), Unicode(kDisplayName, name), Raw(Tag(kEntryId, kBinary), Le32(recordId))}};
}

Property FolderLink(std::uint32_t folderId) {
  static constexpr std::uint8_t kWabEntryGuid[16] = {0xC0, 0x91, 0xAD, 0xD3, 0x51, 0x9D, 0xCF, 0x11,
                                                     0xA4, 0xA9, 0x00, 0xAA, 0x00, 0x47, 0xFA, 0xA4};
  std::string id = Le32(0);
  id.append(reinterpret_cast<const char*>(kWabEntryGuid), 16);
  id += '\x07';  // a folder
  id += Le32(4) + Le32(folderId);
  return RawList(Tag(kFolderLink, kBinary | kMv), {id});
}

Record Obsolete(Record r) {
  r.current = false;
  return r;
}

std::string WriteBook(const Book& book, Layout* layout) {
  // The record index: current copies, by ID unless an order is given.
  std::vector<std::pair<std::uint32_t, std::size_t>> current;  // (ID, position in records)
  std::uint32_t obsolete = 0, highestId = 0;
  for (std::size_t i = 0; i < book.records.size(); ++i) {
    const Record& r = book.records[i];
    highestId = std::max(highestId, r.recordId);
    if (r.current) current.emplace_back(r.recordId, i);
    else ++obsolete;
  }
  std::vector<std::size_t> index;
  if (book.indexOrder.empty()) {
    std::stable_sort(current.begin(), current.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& c : current) index.push_back(c.second);
  } else {
    for (std::uint32_t id : book.indexOrder) {
      auto it = std::find_if(current.begin(), current.end(), [&](const auto& c) { return c.first == id; });
      if (it == current.end()) throw std::invalid_argument("index order names a record that has no current copy");
      index.push_back(it->second);
    }
  }
  const std::uint32_t capacity = std::max<std::uint32_t>(book.capacity, static_cast<std::uint32_t>(index.size()));

  // The five sort indexes, each sorted by its text.
  constexpr std::uint16_t kTextRoles[5] = {kDisplayName, kSurname, kGivenName, kEmailAddress, kNickname};
  std::array<std::vector<std::string>, 5> textTables;
  for (int t = 0; t < 5; ++t) {
    for (std::size_t pos : index) {
      const Record& r = book.records[pos];
      for (const auto& p : r.properties) {
        const std::uint16_t type = p.tag & 0xFFFF;
        if ((p.tag >> 16) == kTextRoles[t] && (type == kUnicode || type == kString8)) {
          textTables[t].push_back(TextEntry(p, r.recordId));
          break;
        }
      }
    }
    std::stable_sort(textTables[t].begin(), textTables[t].end());
  }

  std::uint32_t mapGroups = 0;
  const std::string map = NamedPropertyMap(&mapGroups);
  std::string records;
  std::vector<std::uint32_t> recordOffsets;

  const std::uint32_t tablesBytes = capacity * kIndexEntry + 5 * capacity * kTextEntry;
  const std::uint32_t afterMap = kHeaderEnd + kMapRoom;
  const std::uint32_t recordStart = book.tablesAfterRecords ? afterMap : afterMap + tablesBytes;
  for (const auto& r : book.records) {
    recordOffsets.push_back(recordStart + static_cast<std::uint32_t>(records.size()));
    records += EncodeRecord(r);
  }
  const std::uint32_t tableStart =
      book.tablesAfterRecords ? recordStart + static_cast<std::uint32_t>(records.size()) : afterMap;

  std::string out(kHeaderEnd, '\0');
  const auto& sig = book.oldSignature ? kOldSignature : kSignature;
  std::copy(sig.begin(), sig.end(), out.begin());
  namespace header = ::wab::header;
  Set32(out, header::kObsoleteCopies, obsolete);
  Set32(out, header::kHighestId, highestId);
  std::array<std::uint32_t, 6> tableOffsets{};
  std::uint32_t at = tableStart;
  for (int t = 0; t < 6; ++t) {
    const std::uint32_t entry = t == 0 ? kIndexEntry : kTextEntry;
    const std::uint32_t count = t == 0 ? static_cast<std::uint32_t>(index.size())
                                       : static_cast<std::uint32_t>(textTables[t - 1].size());
    ::wab::TableDescriptor{capacity * entry, count * entry, at, count}.Encode(out.data() + header::Table(t));
    tableOffsets[t] = at;
    at += capacity * entry;
  }
  Set32(out, header::kLiveRecords, static_cast<std::uint32_t>(index.size()));
  Set32(out, header::kCapacity, capacity);
  Set32(out, header::kUnknown80, 0x1000);
  ::wab::TableDescriptor{kMapRoom, static_cast<std::uint32_t>(map.size()), kHeaderEnd, mapGroups}.Encode(
      out.data() + header::kNamedMap);
  out += map;
  out.resize(afterMap, '\0');

  std::string tables;
  tables.reserve(tablesBytes);
  for (std::size_t pos : index) {
    char slot[::wab::IndexSlot::kSize];
    ::wab::IndexSlot{book.records[pos].recordId, recordOffsets[pos]}.Encode(slot);
    tables.append(slot, sizeof slot);
  }
  tables.resize(capacity * kIndexEntry, '\0');
  for (const auto& t : textTables) {
    const std::size_t start = tables.size();
    for (const auto& e : t) tables += e;
    tables.resize(start + capacity * kTextEntry, '\0');
  }

  if (book.tablesAfterRecords) {
    out += records;
    out += tables;
  } else {
    out += tables;
    out += records;
  }
  if (layout) {
    layout->tableOffsets = tableOffsets;
    layout->recordAreaStart = recordStart;
    layout->recordAreaEnd = recordStart + static_cast<std::uint32_t>(records.size());
    layout->recordOffsets = std::move(recordOffsets);
  }
  return out;
}

void WriteBookFile(const std::filesystem::path& path, const Book& book, Layout* layout) {
  const std::string bytes = WriteBook(book, layout);
  std::filesystem::path temp = path;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw std::runtime_error("cannot write " + temp.string());
    }
  }
  std::filesystem::rename(temp, path);
}

}  // namespace wab

namespace {

// Everything the generator puts into contact index i, in one place so the
// book and the expected reader values can never disagree.
struct GeneratedFields {
  std::array<std::optional<std::string>, 20> keys;  // kKeyProperties order; [3] unused
  std::string display;
  std::string nickname;
  std::vector<std::string> emails;
  std::uint32_t defaultEmail = 0;
};

const char* const kGiven[] = {"James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael",
                              "Linda", "William", "Elizabeth", "David", "Barbara", "Richard", "Susan",
                              "Joseph", "Jessica", "Thomas", "Sarah", "Charles", "Karen", "Zoë",
                              "José", "Ingrid", "Søren", "Anaïs", "Łukasz", "Dmitri", "Ayşe"};
const char* const kSurnames[] = {"Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller",
                                 "Davis", "Rodriguez", "Martinez", "Hernández", "Lopez", "Gonzalez",
                                 "Wilson", "Anderson", "Thomas", "Taylor", "Moore", "Jackson", "Martin",
                                 "Lee", "Pérez", "Thompson", "White", "Müller", "O'Brien", "Nguyen",
                                 "van der Berg", "Kowalski", "Ødegaard"};
const char* const kCompanies[] = {"Northwind Traders", "Contoso Ltd", "Fabrikam, Inc.", "Adventure Works",
                                  "Tailspin Toys", "Wide World Importers", "Litware Inc.", "Proseware"};
const char* const kCities[] = {"Springfield", "Riverside", "Fairview", "Madison", "Georgetown",
                               "Salem", "Clinton", "Franklin", "Greenville", "Bristol"};
const char* const kProvinces[] = {"WA", "OR", "CA", "NY", "TX", "IL", "Ontario", "Bavaria"};
const char* const kCountries[] = {"United States", "Canada", "United Kingdom", "Germany", "France"};
const char* const kDepartments[] = {"Sales", "Marketing", "Engineering", "Finance", "Support"};
const char* const kCjkGiven[] = {"太郎", "花子", "明", "美咲"};
const char* const kCjkSurnames[] = {"山田", "佐藤", "鈴木", "高橋"};

template <class T, std::size_t N>
const char* Pick(T (&list)[N], std::size_t i) {
  return list[i % N];
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

GeneratedFields Generate(std::size_t i) {
  GeneratedFields f;
  const std::string n = std::to_string(i);
  const bool cjk = i % 29 == 7;
  const bool mailOnly = i % 50 == 49;
  std::string given = cjk ? Pick(kCjkGiven, i) : Pick(kGiven, i);
  std::string surname = cjk ? Pick(kCjkSurnames, i / 3) : Pick(kSurnames, i / 7);
  std::string local = cjk ? "user" + n : Lower(Pick(kGiven, i % 20)) + "." + Lower(Pick(kSurnames, i % 20)) + n;
  const std::size_t emailCount = 1 + i % 3;
  const char* domains[] = {"@example.com", "@mail.example.org", "@work.example.net"};
  for (std::size_t k = 0; k < emailCount; ++k) f.emails.push_back(local + domains[k]);
  f.defaultEmail = static_cast<std::uint32_t>(i % emailCount);
  auto& k = f.keys;
  k[3] = f.emails[f.defaultEmail];
  if (mailOnly) {
    f.display = f.emails[f.defaultEmail];
    return f;
  }
  k[0] = given;
  if (i % 3 == 0) k[1] = std::string(1, static_cast<char>('A' + i % 26)) + ".";
  k[2] = surname;
  f.display = cjk ? surname + " " + given : given + " " + surname;
  if (i % 5 == 0) f.nickname = given.substr(0, 3);
  k[4] = Pick(kCompanies, i);
  k[5] = std::to_string(100 + i % 900) + " Main Street\r\nSuite " + std::to_string(i % 50);
  k[6] = Pick(kCities, i);
  k[7] = std::to_string(10000 + i % 89999);
  k[8] = Pick(kProvinces, i);
  k[9] = Pick(kCountries, i);
  if (i % 4 == 1) k[10] = "Building " + std::to_string(i % 9);
  k[11] = "http://www.example" + std::to_string(i % 200) + ".com/";
  k[12] = Pick(kDepartments, i);
  k[13] = "+1 555 " + std::to_string(1000 + i % 9000);
  if (i % 2 == 0) k[14] = "+1 555 " + std::to_string(2000 + i % 7000);
  k[15] = std::to_string(1 + i % 400) + " Elm Road";
  k[16] = "+1 444 " + std::to_string(1000 + i % 9000);
  if (i % 4 == 0) k[17] = "+1 444 " + std::to_string(3000 + i % 6000);
  k[18] = "+1 777 " + std::to_string(1000 + i % 9000);
  if (i % 13 == 0) k[19] = "Met at the trade fair " + n + ".\r\nCall back in spring.";
  return f;
}

constexpr std::uint32_t kFirstContactId = 3;
constexpr std::uint32_t kFolderId = 2;

}  // namespace

wab::Book GeneratedBook(std::size_t count) {
  using namespace wab;
  Book book;
  std::vector<std::uint32_t> members;
  for (std::size_t i = 0; i < count; ++i) members.push_back(kFirstContactId + static_cast<std::uint32_t>(i));
  book.records.push_back(Folder(kFolderId, "Main Identity's Contacts", members));
  for (std::size_t i = 0; i < count; ++i) {
    const GeneratedFields f = Generate(i);
    std::vector<Property> props;
    props.push_back(FolderLink(kFolderId));
    for (auto& p : Emails(f.emails, f.defaultEmail)) props.push_back(std::move(p));
    for (std::size_t k = 0; k < f.keys.size(); ++k)
      if (k != 3 && f.keys[k]) props.push_back(Unicode(kKeyProperties[k], *f.keys[k]));
    if (!f.nickname.empty()) props.push_back(Unicode(kNickname, f.nickname));
    props.push_back(Unicode(kDisplayName, f.display));
    Record r = Contact(kFirstContactId + static_cast<std::uint32_t>(i), std::move(props));
    if (i % 97 == 5) {
      // An earlier version of the contact, superseded by the one after it.
      Record old = r;
      old.current = false;
      old.properties.erase(old.properties.begin() + 1);
      book.records.push_back(std::move(old));
    }
    book.records.push_back(std::move(r));
  }
  std::vector<std::uint32_t> groupMembers;
  for (std::size_t i = 0; i < std::min<std::size_t>(count, 3); ++i)
    groupMembers.push_back(kFirstContactId + static_cast<std::uint32_t>(i));
  book.records.push_back(Group(kFirstContactId + static_cast<std::uint32_t>(count), "Team", groupMembers));
  return book;
}

void WriteGeneratedBook(const std::filesystem::path& path, std::size_t count) {
  wab::WriteBookFile(path, GeneratedBook(count));
}

std::array<std::string, 20> GeneratedContactValues(std::size_t index) {
  const GeneratedFields f = Generate(index);
  std::array<std::string, 20> values;
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = f.keys[k].value_or(std::string());
  if (values[0].empty() && values[2].empty()) values[0] = f.display;
  return values;
}

}  // namespace testsupport

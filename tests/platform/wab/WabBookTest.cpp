// The whole-book model over books made by the test writer: every text
// field, every property type, e-mail lists, groups with one-off and
// dangling members, nested folders, deleted contacts, and how files fail.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/automation/AddressBookReader.h"
#include "platform/codepage/CodePage.h"
#include "platform/wab/ContactReadAhead.h"
#include "platform/wab/WabBook.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace wab {
// Readable failure messages.
void PrintTo(const Member& m, std::ostream* os) {
  *os << "{kind " << static_cast<int>(m.kind) << ", id " << m.id << ", \"" << m.displayName << "\", \"" << m.email
      << "\", \"" << m.addressType << "\"}";
}
void PrintTo(const EmailAddress& e, std::ostream* os) {
  *os << "{" << e.address << ", " << e.type << (e.isDefault ? ", default}" : "}");
}
}  // namespace wab

namespace {

using namespace testsupport::wab;
using wab::Field;

wab::Book Read(const Book& book, bool recoverDeleted = false, int codePage = 1252) {
  return wab::ReadBook(wab::WabFile::Parse(WriteBook(book)), {recoverDeleted, codePage});
}

wab::Book ReadOne(std::vector<Property> props) {
  Book book;
  book.records.push_back(Contact(3, std::move(props)));
  return Read(book);
}

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A FILETIME for a date and a wall-clock time, worked out from the days
// between 1601-01-01 and 1970-01-01 and a count of days from there.
std::uint64_t FileTime(int days1970, int hour, int minute) {
  const std::uint64_t seconds = (134774ull + static_cast<std::uint64_t>(days1970)) * 86400 + hour * 3600 + minute * 60;
  return seconds * 10000000ull;
}
constexpr int kDay2014_09_29 = 16342;  // days from 1970-01-01

// [MS-OXCDATA] one-off entry ID: flags, provider UID, version, flags, three strings.
std::string OneOff(const std::string& name, const std::string& type, const std::string& address, bool unicode) {
  static const unsigned char kUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                         0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
  std::string e = Le32(0);
  e.append(reinterpret_cast<const char*>(kUid), 16);
  e += std::string("\0\0", 2);
  e += unicode ? std::string("\x01\x80", 2) : std::string("\x01\x00", 2);
  for (const auto& s : {name, type, address})
    e += unicode ? codepage::Utf8ToUtf16le(s) + std::string(2, '\0') : codepage::FromUtf8(s, 1252).bytes + '\0';
  return e;
}

// --- Every text field comes from its own property ---------------------------

struct FieldRow {
  Field field;
  std::uint16_t id;  // standard, or the file-local number the writer's map gives
};
// Property IDs per the MAPI contact properties; named ones per the map a
// Windows XP address book writes.
const FieldRow kFieldRows[] = {
    {Field::Prefix, 0x3A45},        {Field::GivenName, 0x3A06},          {Field::MiddleName, 0x3A44},
    {Field::Surname, 0x3A11},       {Field::Suffix, 0x3A05},             {Field::Nickname, 0x3A4F},
    {Field::PhoneticGivenName, 0x800E}, {Field::PhoneticSurname, 0x800F}, {Field::Im, 0x8012},
    {Field::Company, 0x3A16},       {Field::Department, 0x3A18},         {Field::JobTitle, 0x3A17},
    {Field::Office, 0x3A19},        {Field::BusinessStreet, 0x3A29},     {Field::BusinessCity, 0x3A27},
    {Field::BusinessState, 0x3A28}, {Field::BusinessPostalCode, 0x3A2A}, {Field::BusinessCountry, 0x3A26},
    {Field::BusinessPhone, 0x3A08}, {Field::BusinessFax, 0x3A24},        {Field::Pager, 0x3A21},
    {Field::IpPhone, 0x800A},       {Field::BusinessWeb, 0x3A51},        {Field::HomeStreet, 0x3A5D},
    {Field::HomeCity, 0x3A59},      {Field::HomeState, 0x3A5C},          {Field::HomePostalCode, 0x3A5B},
    {Field::HomeCountry, 0x3A5A},   {Field::HomePhone, 0x3A09},          {Field::HomeFax, 0x3A25},
    {Field::Mobile, 0x3A1C},        {Field::PersonalWeb, 0x3A50},        {Field::Spouse, 0x3A48},
    {Field::Notes, 0x3004},
};
static_assert(std::size(kFieldRows) == wab::kFieldCount);

TEST(WabBook, EveryFieldReadsItsOwnPropertyInEitherStringKind) {
  for (bool eightBit : {false, true}) {
    std::vector<Property> props;
    for (const auto& row : kFieldRows) {
      const std::string value = std::string(wab::FieldKey(row.field)) + " é\r\nline";
      props.push_back(eightBit ? String8(row.id, value, 1252) : Unicode(row.id, value));
    }
    const wab::Book b = ReadOne(props);
    ASSERT_EQ(b.contacts.size(), 1u);
    for (const auto& row : kFieldRows)
      EXPECT_EQ(b.contacts[0][row.field], std::string(wab::FieldKey(row.field)) + " é\r\nline")
          << wab::FieldKey(row.field) << (eightBit ? " 8-bit" : "");
    EXPECT_EQ(b.skippedProperties, 0u);
  }
}

// --- Property types: decoded, or stepped over one by one and counted --------

struct TypeRow {
  const char* name;
  std::vector<Property> props;
  std::uint32_t skipped;
  std::function<void(const wab::Contact&)> check;
};
void PrintTo(const TypeRow& r, std::ostream* os) { *os << r.name; }

class WabBookTypes : public testing::TestWithParam<TypeRow> {};

TEST_P(WabBookTypes, RecordStaysWhole) {
  std::vector<Property> props = GetParam().props;
  props.push_back(Unicode(kSurname, "Kept"));
  const wab::Book b = ReadOne(props);
  ASSERT_EQ(b.contacts.size(), 1u) << "no property type drops a record";
  EXPECT_EQ(b.skippedRecords, 0u);
  EXPECT_EQ(b.contacts[0][Field::Surname], "Kept");
  EXPECT_EQ(b.skippedProperties, GetParam().skipped);
  GetParam().check(b.contacts[0]);
}

const auto kNothing = [](const wab::Contact&) {};

INSTANTIATE_TEST_SUITE_P(
    Rows, WabBookTypes,
    testing::Values(
        TypeRow{"MvLong", {RawList(Tag(0x3A60, 0x1003), {Le32(1), Le32(2)})}, 0, kNothing},
        TypeRow{"Boolean", {Raw(Tag(0x3A40, 0x000B), std::string("\x01\x00", 2))}, 0, kNothing},
        TypeRow{"Binary", {Raw(Tag(0x3A70, kBinary), "cert")}, 0, kNothing},
        TypeRow{"UnknownType", {Raw(Tag(0x3A06, 0x0099), "??")}, 1,
                [](const wab::Contact& c) { EXPECT_EQ(c[Field::GivenName], ""); }},
        TypeRow{"UnknownMvType", {RawList(Tag(0x3A58, 0x1099), {"x", "y"})}, 1,
                [](const wab::Contact& c) { EXPECT_TRUE(c.children.empty()); }},
        TypeRow{"TextFieldAsBinary", {Raw(Tag(0x3A17, kBinary), "job")}, 1,
                [](const wab::Contact& c) { EXPECT_EQ(c[Field::JobTitle], ""); }},
        TypeRow{"GenderShort", {Raw(Tag(0x3A4D, kI2), std::string("\x02\x00", 2))}, 0,
                [](const wab::Contact& c) { EXPECT_EQ(c.gender, wab::Gender::Male); }},
        TypeRow{"GenderLong", {Long(0x3A4D, 1)}, 0,
                [](const wab::Contact& c) { EXPECT_EQ(c.gender, wab::Gender::Female); }},
        TypeRow{"GenderBadLength", {Raw(Tag(0x3A4D, kI2), "abc")}, 1,
                [](const wab::Contact& c) { EXPECT_EQ(c.gender, wab::Gender::Unspecified); }},
        // The time part is the local wall clock of the edit: late in the
        // evening still gives the day entered, early morning too.
        TypeRow{"BirthdayLateEvening", {SysTime(0x3A42, FileTime(kDay2014_09_29, 23, 59))}, 0,
                [](const wab::Contact& c) { EXPECT_EQ(c.birthday, (wab::Date{2014, 9, 29})); }},
        TypeRow{"AnniversaryEarlyMorning", {SysTime(0x3A41, FileTime(kDay2014_09_29 + 1, 0, 1))}, 0,
                [](const wab::Contact& c) { EXPECT_EQ(c.anniversary, (wab::Date{2014, 9, 30})); }},
        TypeRow{"LeapDay", {SysTime(0x3A42, FileTime(11016, 12, 0))}, 0,  // 2000-02-29
                [](const wab::Contact& c) { EXPECT_EQ(c.birthday, (wab::Date{2000, 2, 29})); }},
        TypeRow{"BirthdayBadLength", {Raw(Tag(0x3A42, kSysTime), "1234")}, 1,
                [](const wab::Contact& c) { EXPECT_FALSE(c.birthday.valid()); }},
        TypeRow{"Children", {MvUnicode(0x3A58, {"Ann", "", "Bob"})}, 0,
                [](const wab::Contact& c) { EXPECT_EQ(c.children, (std::vector<std::string>{"Ann", "Bob"})); }},
        TypeRow{"Modified", {}, 0, [](const wab::Contact& c) { EXPECT_TRUE(c.modified.has_value()); }}),
    [](const testing::TestParamInfo<TypeRow>& info) { return std::string(info.param.name); });

TEST(WabBook, NoPropertyCountLimitDropsAWholeRecord) {
  std::vector<Property> props;
  for (std::uint16_t i = 0; i < 700; ++i) props.push_back(Long(static_cast<std::uint16_t>(0x6700 + i), i));
  props.push_back(Unicode(kGivenName, "Many"));
  const wab::Book b = ReadOne(props);
  ASSERT_EQ(b.contacts.size(), 1u);
  EXPECT_EQ(b.contacts[0][Field::GivenName], "Many");
}

// --- E-mail addresses --------------------------------------------------------

struct EmailRow {
  const char* name;
  std::vector<Property> props;
  std::vector<wab::EmailAddress> expected;
};
void PrintTo(const EmailRow& r, std::ostream* os) { *os << r.name; }

class WabBookEmails : public testing::TestWithParam<EmailRow> {};

TEST_P(WabBookEmails, AllAddressesInStoredOrderOneDefault) {
  EXPECT_EQ(ReadOne(GetParam().props).contacts.at(0).emails, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WabBookEmails,
    testing::Values(
        EmailRow{"ListWithIndex",
                 Emails({"a@x.org", "b@x.org", "c@x.org"}, 1),
                 {{"a@x.org", "SMTP", false}, {"b@x.org", "SMTP", true}, {"c@x.org", "SMTP", false}}},
        EmailRow{"EightBitList",
                 Emails({"a@x.org", "b@x.org"}, 0, true),
                 {{"a@x.org", "SMTP", true}, {"b@x.org", "SMTP", false}}},
        EmailRow{"IndexPastTheListFallsBackToTheSingleAddress",
                 {MvUnicode(kEmailAddresses, {"a@x.org", "b@x.org"}), Long(kDefaultAddressIndex, 7),
                  Unicode(kEmailAddress, "b@x.org")},
                 {{"a@x.org", "", false}, {"b@x.org", "", true}}},
        EmailRow{"NoIndexNoSingleFirstIsDefault",
                 {MvUnicode(kEmailAddresses, {"", "a@x.org", "b@x.org"})},
                 {{"a@x.org", "", true}, {"b@x.org", "", false}}},
        EmailRow{"SingleAddressOnly",
                 {Unicode(kEmailAddress, "only@x.org"), Unicode(kAddrType, "SMTP")},
                 {{"only@x.org", "SMTP", true}}},
        EmailRow{"SingleAddressMissingFromTheListIsKept",
                 {MvUnicode(kEmailAddresses, {"a@x.org"}), Long(kDefaultAddressIndex, 0),
                  Unicode(kEmailAddress, "other@x.org")},
                 {{"a@x.org", "", true}, {"other@x.org", "", false}}},
        EmailRow{"None", {}, {}}),
    [](const testing::TestParamInfo<EmailRow>& info) { return std::string(info.param.name); });

// --- Groups, folders and deleted contacts ------------------------------------

Property Named(std::uint16_t id, const std::vector<std::string>& elements) {
  return RawList(Tag(id, kBinary | kMv), elements);
}

// Root folder 2 lists sub-folder 4 (sub-folder list); folder 5 sits in 4 by
// its own link. Contact 3 is in 5 by its link, contact 6 in 4 by 4's member
// list only. Group 10 (in 2) lists 3, a gone record 99, group 11, a deleted
// contact 20, and two one-off addresses; group 11 lists 3 and 6.
Book GroupsAndFolders() {
  Book book;
  Record root = Folder(2, "Root", {});
  root.properties.push_back(Named(0x8005, {FolderLink(4).elements[0]}));
  book.records.push_back(root);
  book.records.push_back(Contact(3, {Unicode(kDisplayName, "Carol"), FolderLink(5)}));
  book.records.push_back(Folder(4, "Work", {6}));
  Record nested = Folder(5, "Work/Team", {});
  nested.properties.push_back(FolderLink(4));
  book.records.push_back(nested);
  book.records.push_back(Contact(6, {Unicode(kDisplayName, "Dave")}));
  Record g = Group(10, "Friends", {3, 99, 11, 20});
  g.properties.push_back(FolderLink(2));
  g.properties.push_back(Named(0x8009, {OneOff("Ann", "SMTP", "ann@example.org", true),
                                        OneOff("Bj\xc3\xb6rn", "SMTP", "bjorn@example.org", false), "junk!"}));
  g.properties.push_back(Unicode(0x3004, "group notes"));
  book.records.push_back(g);
  book.records.push_back(Group(11, "Team", {6, 3}));
  // Deleted contact 20: two dead copies, the later one wins.
  book.records.push_back(Obsolete(Contact(20, {Unicode(kDisplayName, "Eve (old)"), FolderLink(5)})));
  book.records.push_back(Obsolete(Contact(20, {Unicode(kDisplayName, "Eve"), FolderLink(5)})));
  // Not recovered: an old copy of a live contact, a deleted group.
  book.records.push_back(Obsolete(Contact(3, {Unicode(kDisplayName, "Carol (old)")})));
  book.records.push_back(Obsolete(Group(21, "Gone group", {3})));
  return book;
}

TEST(WabBook, FoldersNestAndEveryObjectKnowsItsFolder) {
  const wab::Book b = Read(GroupsAndFolders());
  ASSERT_EQ(b.folders.size(), 3u);
  EXPECT_FALSE(b.FindFolder(2)->parent);
  EXPECT_EQ(b.FindFolder(4)->parent, 2u);
  EXPECT_EQ(b.FindFolder(5)->parent, 4u);
  EXPECT_EQ(b.FindContact(3)->folder, 5u);
  EXPECT_EQ(b.FindContact(6)->folder, 4u);
  EXPECT_EQ(b.FindGroup(10)->folder, 2u);
  EXPECT_FALSE(b.FindGroup(11)->folder);
}

TEST(WabBook, GroupMembersResolveOrAreMarkedMissingAndOneOffsKeepTheirAddress) {
  for (bool recover : {false, true}) {
    const wab::Book b = Read(GroupsAndFolders(), recover);
    using K = wab::Member::Kind;
    const std::vector<wab::Member> expected{
        {K::Record, 3, "", "", ""},
        {K::Missing, 99, "", "", ""},
        {K::Record, 11, "", "", ""},
        // A deleted contact is a member again once it is recovered.
        {recover ? K::Record : K::Missing, 20, "", "", ""},
        {K::OneOff, 0, "Ann", "ann@example.org", "SMTP"},
        {K::OneOff, 0, "Bj\xc3\xb6rn", "bjorn@example.org", "SMTP"},
    };
    ASSERT_EQ(b.groups.size(), 2u);
    EXPECT_EQ(b.groups[0].members, expected) << recover;
    EXPECT_EQ(b.groups[0][Field::Notes], "group notes");
    EXPECT_EQ(b.skippedProperties, 1u) << "the unreadable member element";
    EXPECT_EQ(b.FindContact(3)->groups, (std::vector<std::uint32_t>{10, 11}));
    EXPECT_EQ(b.FindContact(6)->groups, (std::vector<std::uint32_t>{11}));
    if (recover) {
      EXPECT_EQ(b.FindContact(20)->groups, (std::vector<std::uint32_t>{10}));
    }
  }
}

TEST(WabBook, DeletedContactsOnlyOnRequestTheLastCopyOfEach) {
  const wab::Book live = Read(GroupsAndFolders());
  EXPECT_EQ(live.contacts.size(), 2u);
  EXPECT_EQ(live.deletedRecovered, 0u);

  const wab::Book all = Read(GroupsAndFolders(), true);
  ASSERT_EQ(all.contacts.size(), 3u);
  EXPECT_EQ(all.deletedRecovered, 1u);
  const wab::Contact* eve = all.FindContact(20);
  ASSERT_NE(eve, nullptr);
  EXPECT_TRUE(eve->deleted);
  EXPECT_EQ(eve->displayName, "Eve");
  EXPECT_EQ(eve->folder, 5u);
  EXPECT_EQ(all.FindContact(3)->displayName, "Carol") << "an old copy never replaces the live record";
  EXPECT_FALSE(all.FindContact(3)->deleted);
  EXPECT_EQ(all.FindGroup(21), nullptr);
  EXPECT_EQ(all.contacts[2].id, 20u) << "record-id order";
}

TEST(WabBook, DeletedCopiesAreFoundWhereverTheTablesSit) {
  Book book = GroupsAndFolders();
  book.tablesAfterRecords = true;
  const wab::Book b = Read(book, true);
  EXPECT_EQ(b.deletedRecovered, 1u);
  EXPECT_EQ(b.contacts.size(), 3u);
}

TEST(WabBook, CodePageIsTheOneAskedElseTheLocales) {
  Book book;
  book.records.push_back(Contact(3, {String8(kGivenName, "Иван", 1251)}));
  EXPECT_EQ(Read(book, false, 1251).contacts[0][Field::GivenName], "Иван");
  EXPECT_EQ(Read(book, false, 1251).codePage, 1251);
  const wab::Book byLocale = wab::ReadBook(wab::WabFile::Parse(WriteBook(book)));
  EXPECT_EQ(byLocale.codePage, codepage::SystemAnsiCodePage());
}

// --- Files: LoadBook fails exactly as the reader's Open --------------------

TEST(WabBook, LoadBookFailsWithTheReadersMessages) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "text.wab", "not an address book at all");
  testsupport::WriteFile(dir / "empty.wab", "");
  const std::string paths[] = {(dir / "missing.wab").string(), (dir / "text.wab").string(),
                               (dir / "empty.wab").string(), dir.path().string()};
  for (const auto& path : paths) {
    std::string fromReader, fromBook;
    try {
      wab::WabReader r(1252);
      r.Open(path);
    } catch (const automation::AutomationError& e) {
      fromReader = e.what();
    }
    try {
      wab::LoadBook(path);
    } catch (const automation::AutomationError& e) {
      fromBook = e.what();
    }
    EXPECT_FALSE(fromBook.empty()) << path;
    EXPECT_EQ(fromBook, fromReader) << path;
  }
  Book book;
  book.records.push_back(Contact(3, {Unicode(kGivenName, "Ada")}));
  WriteBookFile(dir / "ada.wab", book);
  EXPECT_EQ(wab::LoadBook((dir / "ada.wab").string()).contacts.at(0)[Field::GivenName], "Ada");
}

// The reader answers the home country beyond its 20 keys; the designed
// Country stays the business one.
TEST(WabBook, ReaderAnswersHomeCountryBesideTheDesignedKeys) {
  Book book;
  book.records.push_back(Contact(3, {Unicode(kCountry, "Business land"), Unicode(kHomeCountry, "Home land")}));
  wab::WabReader r(1252);
  r.OpenBytes(WriteBook(book), "b.wab");
  r.Select(0);
  EXPECT_EQ(r.GetValue("Country"), "Business land");
  EXPECT_EQ(r.GetValue(std::string(wab::kHomeCountryKey)), "Home land");
}

}  // namespace

namespace {

// Contact by contact gives what the whole book holds, with folders and
// groups already there at the first contact.
TEST(WabBook, ReadingContactByContactGivesTheSameBook) {
  for (bool recover : {false, true}) {
    const std::string bytes = WriteBook(GroupsAndFolders());
    const wab::WabFile file = wab::WabFile::Parse(bytes);
    const wab::Book whole = wab::ReadBook(file, {recover, 1252});
    std::vector<wab::Contact> seen;
    const wab::Book streamed = wab::ReadBook(file, {recover, 1252}, [&](const wab::Book& b, const wab::Contact& c) {
      EXPECT_EQ(b.folders.size(), 3u);
      EXPECT_EQ(b.groups.size(), 2u);
      seen.push_back(c);
    });
    EXPECT_TRUE(streamed.contacts.empty());
    ASSERT_EQ(seen.size(), whole.contacts.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].id, whole.contacts[i].id);
      EXPECT_EQ(seen[i].displayName, whole.contacts[i].displayName);
      EXPECT_EQ(seen[i].folder, whole.contacts[i].folder);
      EXPECT_EQ(seen[i].groups, whole.contacts[i].groups);
      EXPECT_EQ(seen[i].deleted, whole.contacts[i].deleted);
    }
    EXPECT_EQ(streamed.deletedRecovered, whole.deletedRecovered);
    EXPECT_EQ(streamed.groups[0].members, whole.groups[0].members);
  }
}

// Contacts asked for one at a time, in any order and more than once, by
// position, by id or from the reader's own record, are the whole book's;
// what they lose is counted once.
TEST(WabBook, BookContactsReadsAnyContactAnyNumberOfTimes) {
  Book source = GroupsAndFolders();
  source.records[4].properties.push_back(Raw(Tag(0x3A06, 0x0099), "??"));  // Dave's: skipped, counted once
  for (bool recover : {false, true}) {
    const std::string bytes = WriteBook(source);
    const wab::WabFile file = wab::WabFile::Parse(bytes);
    const wab::Book whole = wab::ReadBook(file, {recover, 1252});
    wab::BookContacts book(file, {recover, 1252});
    ASSERT_EQ(book.Count(), whole.contacts.size());
    wab::Contact c;
    auto same = [&](const wab::Contact& want) {
      EXPECT_EQ(c.id, want.id);
      EXPECT_EQ(c.fields, want.fields);
      EXPECT_EQ(c.emails, want.emails);
      EXPECT_EQ(c.folder, want.folder);
      EXPECT_EQ(c.groups, want.groups);
      EXPECT_EQ(c.deleted, want.deleted);
    };
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t i = book.Count(); i-- > 0;) {
        ASSERT_TRUE(book.ReadAt(i, c));
        same(whole.contacts[i]);
        ASSERT_TRUE(book.ReadId(whole.contacts[i].id, c));
        same(whole.contacts[i]);
      }
    wab::WabReader reader(1252);
    reader.OpenBytes(bytes, "b.wab");
    reader.Select(0);
    ASSERT_TRUE(book.Decode(*reader.SelectedRecord(), c));
    same(*whole.FindContact(c.id));
    EXPECT_FALSE(book.ReadId(whole.groups[0].id, c));
    EXPECT_EQ(book.Outline().skippedProperties, 2u) << "a group's and a contact's";
    EXPECT_EQ(book.Outline().skippedRecords, whole.skippedRecords);
    EXPECT_EQ(book.Outline().deletedRecovered, whole.deletedRecovered);
    EXPECT_EQ(book.Outline().groups.size(), whole.groups.size());
  }
}

// Read ahead on a second thread, the contacts come in the order asked,
// batch after batch, a position past the book as a damaged
// record; stopping halfway waits for the thread.
TEST(WabBook, ContactsReadAheadComeInTheOrderAsked) {
  const std::string bytes = WriteBook(testsupport::GeneratedBook(600));
  const wab::WabFile file = wab::WabFile::Parse(bytes);
  const wab::Book whole = wab::ReadBook(file, {false, 1252});
  wab::BookContacts book(file, {false, 1252});
  std::vector<std::size_t> order;
  for (std::size_t i = book.Count(); i-- > 0;) order.push_back(i);
  order.push_back(book.Count());
  for (std::size_t stopAfter : {order.size(), std::size_t{300}}) {
    wab::ContactReadAhead ahead(order.size(), [&](std::size_t k, wab::Contact& c, std::vector<wab::StoredText>&) {
      return book.ReadAt(order[k], c);
    });
    for (std::size_t k = 0; k < stopAfter; ++k) {
      const wab::Contact* c = ahead.Next();
      if (order[k] == book.Count()) {
        EXPECT_EQ(c, nullptr);
      } else {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->id, whole.contacts[order[k]].id);
        EXPECT_EQ(c->fields, whole.contacts[order[k]].fields);
      }
    }
  }
}

// A reading's texts go with its contact, a damaged one's too, and a reading
// that throws ends the order at its own contact.
TEST(WabBook, ContactsReadAheadCarryTheirTextsAndStopWhereReadingFails) {
  constexpr std::size_t kCount = 600, kFails = 555;
  static const std::string kText = "abcdefghijklmnopqrstuvwxyz";
  auto text = [](std::size_t k) { return wab::StoredText{std::string_view(kText).substr(k % kText.size()), k % 2 == 0}; };
  wab::ContactReadAhead ahead(kCount, [&](std::size_t k, wab::Contact& c, std::vector<wab::StoredText>& texts) {
    if (k == kFails) throw std::runtime_error("cut short");
    c.id = static_cast<std::uint32_t>(k);
    texts.assign(1, text(k));
    return k % 3 != 0;  // every third damaged
  });
  for (std::size_t k = 0; k < kFails; ++k) {
    const wab::Contact* c = ahead.Next();
    ASSERT_EQ(c != nullptr, k % 3 != 0) << k;
    if (c) {
      EXPECT_EQ(c->id, k);
    }
    ASSERT_EQ(ahead.Texts().size(), 1u);
    EXPECT_EQ(ahead.Texts()[0].bytes, text(k).bytes);
    EXPECT_EQ(ahead.Texts()[0].unicode, text(k).unicode);
  }
  EXPECT_THROW(ahead.Next(), std::runtime_error);
}

}  // namespace

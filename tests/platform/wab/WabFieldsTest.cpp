// What the reader hands out for books made by the test writer: every field
// source, the name mend, e-mail choice, both string kinds, the record
// kinds and copies that are not contacts, and awkward texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/automation/AddressBookReader.h"
#include "platform/codepage/CodePage.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using automation::kReaderFieldKeys;
using namespace testsupport::wab;

std::array<std::string, 20> Values(wab::WabReader& r, int i) {
  r.Select(i);
  std::array<std::string, 20> v;
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = r.GetValue(std::string(kReaderFieldKeys[k]));
  return v;
}

std::string Value(wab::WabReader& r, int i, const std::string& key) {
  r.Select(i);
  return r.GetValue(key);
}

void OpenBook(wab::WabReader& r, const Book& book) { r.OpenBytes(WriteBook(book), "test.wab"); }

TEST(WabFields, EveryKeyReadsItsOwnProperty) {
  std::vector<Property> fields;
  for (std::size_t k = 0; k < kKeyProperties.size(); ++k)
    if (kKeyProperties[k] != kEmailAddress)
      fields.push_back(Unicode(kKeyProperties[k], "value of " + std::string(kReaderFieldKeys[k])));
  fields.push_back(Unicode(kEmailAddress, "value of HomeEmail"));
  // Look-alikes that must not leak into the keys above.
  fields.push_back(Unicode(kHomeCountry, "home country"));
  fields.push_back(Unicode(0x3A59, "home city"));
  fields.push_back(Unicode(0x3A50, "personal page"));
  fields.push_back(Unicode(kDisplayName, "display"));
  fields.push_back(Unicode(kNickname, "nick"));
  Book book;
  book.records.push_back(Contact(2, fields));
  wab::WabReader r(1252);
  OpenBook(r, book);
  ASSERT_EQ(r.GetCount(), 1);
  auto v = Values(r, 0);
  for (std::size_t k = 0; k < v.size(); ++k)
    EXPECT_EQ(v[k], "value of " + std::string(kReaderFieldKeys[k])) << kReaderFieldKeys[k];
  // Country is read twice per contact and must not change between reads.
  EXPECT_EQ(r.GetValue("Country"), r.GetValue("Country"));
  EXPECT_EQ(r.GetValue("NoSuchKey"), "");
  EXPECT_EQ(r.GetValue("name"), "");  // keys are exact
}

TEST(WabFields, CursorRulesBeforeAndAroundSelect) {
  wab::WabReader r(1252);
  EXPECT_EQ(r.GetCount(), 0);
  EXPECT_EQ(r.GetValue("Name"), "");
  EXPECT_THROW(r.Select(0), automation::AutomationError);
  Book book;
  book.records.push_back(Contact(2, {Unicode(kGivenName, "A")}));
  book.records.push_back(Contact(3, {Unicode(kGivenName, "B")}));
  OpenBook(r, book);
  EXPECT_EQ(r.GetValue("Name"), "");  // nothing selected yet
  EXPECT_EQ(Value(r, 1, "Name"), "B");
  EXPECT_EQ(Value(r, 0, "Name"), "A");
  EXPECT_THROW(r.Select(2), automation::AutomationError);
  EXPECT_THROW(r.Select(-1), automation::AutomationError);
  EXPECT_EQ(r.GetValue("Name"), "");  // a failed Select leaves no contact selected
  // Opening another book replaces the first.
  Book other;
  other.records.push_back(Contact(9, {Unicode(kSurname, "Z")}));
  OpenBook(r, other);
  EXPECT_EQ(r.GetCount(), 1);
  EXPECT_EQ(Value(r, 0, "Surname"), "Z");
}

TEST(WabFields, NamelessContactsTakeTheirDisplayName) {
  Book book;
  // Made from an e-mail: display name only.
  book.records.push_back(Contact(2, {Unicode(kDisplayName, "ann@example.com"), Unicode(kEmailAddress, "ann@example.com")}));
  // Empty names count as none.
  book.records.push_back(Contact(3, {Unicode(kGivenName, ""), Unicode(kSurname, ""), Unicode(kDisplayName, "Shown")}));
  // A surname alone is a name: no mend.
  book.records.push_back(Contact(4, {Unicode(kSurname, "Solo"), Unicode(kDisplayName, "Mr Solo")}));
  // A given name alone likewise.
  book.records.push_back(Contact(5, {Unicode(kGivenName, "Only"), Unicode(kDisplayName, "Only Given")}));
  // Nothing at all stays empty.
  book.records.push_back(Contact(6, {}));
  // 8-bit display name.
  book.records.push_back(Contact(7, {String8(kDisplayName, "Café")}));
  wab::WabReader r(1252);
  OpenBook(r, book);
  ASSERT_EQ(r.GetCount(), 6);
  EXPECT_EQ(Value(r, 0, "Name"), "ann@example.com");
  EXPECT_EQ(Value(r, 1, "Name"), "Shown");
  EXPECT_EQ(Value(r, 2, "Name"), "");
  EXPECT_EQ(Value(r, 2, "Surname"), "Solo");
  EXPECT_EQ(Value(r, 3, "Name"), "Only");
  EXPECT_EQ(Values(r, 4), (std::array<std::string, 20>{}));
  EXPECT_EQ(Value(r, 5, "Name"), "Café");
}

TEST(WabFields, HomeEmailIsTheDefaultOfTheList) {
  const std::vector<std::string> three{"a@example.org", "b@example.net", "c@example.com"};
  Book book;
  auto emails = Emails(three, 2);
  book.records.push_back(Contact(2, emails));
  // The single address disagrees with the list: the list's default wins.
  emails = Emails(three, 1);
  emails.back() = Unicode(kEmailAddress, "stale@example.com");
  book.records.push_back(Contact(3, emails));
  // Index past the end of the list: the single address.
  emails = Emails(three, 7);
  book.records.push_back(Contact(4, emails));
  // No index: the single address.
  book.records.push_back(Contact(5, {MvUnicode(kEmailAddresses, three), Unicode(kEmailAddress, "single@example.com")}));
  // Only the list, no index, no single address: the first address.
  book.records.push_back(Contact(6, {MvUnicode(kEmailAddresses, {"", "first@example.com"})}));
  // Only the single address.
  book.records.push_back(Contact(7, {Unicode(kEmailAddress, "only@example.com")}));
  // 8-bit list and index 1.
  book.records.push_back(Contact(8, Emails({"x@example.com", "ü@example.com"}, 1, true, 1252)));
  // The default entry is empty: the single address.
  book.records.push_back(Contact(9, {MvUnicode(kEmailAddresses, {"", "b@x"}), Long(kDefaultAddressIndex, 0),
                                     Unicode(kEmailAddress, "fallback@x")}));
  wab::WabReader r(1252);
  OpenBook(r, book);
  const char* expected[] = {"c@example.com",      "b@example.net",    "a@example.org",  "single@example.com",
                            "first@example.com",  "only@example.com", "ü@example.com",  "fallback@x"};
  ASSERT_EQ(r.GetCount(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Value(r, i, "HomeEmail"), expected[i]) << i;
}

TEST(WabFields, EightBitStringsUseTheCodePage) {
  Book book;
  book.records.push_back(Contact(2, {String8(kGivenName, "Иван", 1251), String8(kSurname, "Петров", 1251),
                                     String8(kComment, "строка 1\r\nстрока 2", 1251)}));
  book.records.push_back(Contact(3, {String8(kGivenName, "Ξένια", 1253)}));
  book.records.push_back(Contact(4, {String8(kGivenName, "太郎", 932), String8(kSurname, "山田", 932)}));
  book.records.push_back(Contact(5, {String8(kGivenName, "Jürgen"), Unicode(kSurname, "Größe")}));
  const std::string bytes = WriteBook(book);

  wab::WabReader cyrillic(1251);
  cyrillic.OpenBytes(bytes, "b");
  EXPECT_EQ(Value(cyrillic, 0, "Name"), "Иван");
  EXPECT_EQ(Value(cyrillic, 0, "Surname"), "Петров");
  EXPECT_EQ(Value(cyrillic, 0, "Comment"), "строка 1\r\nстрока 2");
  wab::WabReader greek(1253), japanese(932), western(1252);
  greek.OpenBytes(bytes, "b");
  japanese.OpenBytes(bytes, "b");
  western.OpenBytes(bytes, "b");
  EXPECT_EQ(Value(greek, 1, "Name"), "Ξένια");
  EXPECT_EQ(Value(japanese, 2, "Name"), "太郎");
  EXPECT_EQ(Value(japanese, 2, "Surname"), "山田");
  EXPECT_EQ(Value(western, 3, "Name"), "Jürgen");
  EXPECT_EQ(Value(western, 3, "Surname"), "Größe");  // UTF-16 ignores the code page
  // The same bytes under another page are other letters, never a failure.
  EXPECT_EQ(Value(western, 0, "Name"), "Èâàí");

  // By default the page follows the user's locale.
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  wab::WabReader byLocale;
  if (saved) setenv("LC_ALL", keep.c_str(), 1);
  else unsetenv("LC_ALL");
  EXPECT_EQ(byLocale.CodePage(), 1251);
  byLocale.OpenBytes(bytes, "b");
  EXPECT_EQ(Value(byLocale, 0, "Name"), "Иван");
}

TEST(WabFields, OnlyLiveContactsCountInRecordIndexOrder) {
  Book book;
  book.records.push_back(Folder(2, "Main Identity's Contacts", {3, 4, 5, 6}));
  // An older copy of 3, then its current copy.
  book.records.push_back(Obsolete(Contact(3, {Unicode(kGivenName, "Old"), Unicode(kHomePhone, "111")})));
  book.records.push_back(Contact(4, {Unicode(kGivenName, "Four")}));
  book.records.push_back(Contact(3, {Unicode(kGivenName, "New"), Unicode(kHomePhone, "222")}));
  // A deleted contact: only an obsolete copy is left.
  book.records.push_back(Obsolete(Contact(5, {Unicode(kGivenName, "Deleted")})));
  book.records.push_back(Group(6, "Friends", {3, 4, 5}));
  book.records.push_back(Folder(7, "Sub folder", {4}));
  book.records.push_back(Contact(8, {Unicode(kGivenName, "Eight")}));
  book.indexOrder = {8, 2, 4, 6, 3, 7};
  wab::WabReader r(1252);
  OpenBook(r, book);
  ASSERT_EQ(r.GetCount(), 3);
  EXPECT_EQ(r.SkippedRecords(), 0);
  EXPECT_EQ(Value(r, 0, "Name"), "Eight");
  EXPECT_EQ(Value(r, 1, "Name"), "Four");
  EXPECT_EQ(Value(r, 2, "Name"), "New");
  EXPECT_EQ(Value(r, 2, "HomePhone"), "222");
}

TEST(WabFields, TextsComeBackExactlyAsStored) {
  const std::string comment300 = [] {
    std::string s;
    for (int i = 0; s.size() < 300; ++i) s += static_cast<char>('a' + i % 26);
    return s;
  }();
  const std::vector<std::pair<std::string, std::string>> names{
      {"A|B", "pipe|inside|"},      {"  Lead", "trail  "},     {"élodie", "van der berg"},
      {"42", "007"},                {"!?#&", "(x).,;'\""},     {"Αλέξανδρος", "Παπαδόπουλος"},
      {"太郎", "山田"},             {"   ", " "},             {"😀", "𠮷野家"},
      {"tab\there", "line\r\nbreak"}, {"\\back\\", "quote\"s"}};
  Book book;
  std::uint32_t id = 2;
  for (auto& [g, s] : names) book.records.push_back(Contact(id++, {Unicode(kGivenName, g), Unicode(kSurname, s)}));
  book.records.push_back(Contact(id++, {Unicode(kGivenName, "Long"), Unicode(kComment, comment300)}));
  book.records.push_back(Contact(id++, {}));  // an empty contact still counts
  wab::WabReader r(1252);
  OpenBook(r, book);
  ASSERT_EQ(r.GetCount(), static_cast<int>(names.size()) + 2);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(Value(r, static_cast<int>(i), "Name"), names[i].first);
    EXPECT_EQ(Value(r, static_cast<int>(i), "Surname"), names[i].second);
  }
  EXPECT_EQ(Value(r, static_cast<int>(names.size()), "Comment"), comment300);
  EXPECT_EQ(Values(r, static_cast<int>(names.size()) + 1), (std::array<std::string, 20>{}));
}

TEST(WabFields, TerminatorsAndOddLengthsAreHandled) {
  Book book;
  // No terminator stored: the whole value.
  book.records.push_back(Contact(2, {Raw(Tag(kGivenName, kUnicode), std::string("N\0o", 3) + std::string(1, '\0')),
                                     Raw(Tag(kSurname, kString8), "Plain")}));
  // The text ends at the first NUL; what follows is not part of it.
  book.records.push_back(Contact(3, {Raw(Tag(kGivenName, kUnicode), std::string("A\0\0\0B\0", 6)),
                                     Raw(Tag(kSurname, kString8), std::string("Cut\0Rest", 8))}));
  // An odd trailing byte of UTF-16 is dropped.
  book.records.push_back(Contact(4, {Raw(Tag(kGivenName, kUnicode), std::string("O\0k\0!", 5))}));
  // A field stored with a type that is not text is absent.
  book.records.push_back(Contact(5, {Long(kGivenName, 65), Unicode(kSurname, "S")}));
  wab::WabReader r(1252);
  OpenBook(r, book);
  ASSERT_EQ(r.GetCount(), 4);
  EXPECT_EQ(Value(r, 0, "Name"), "No");
  EXPECT_EQ(Value(r, 0, "Surname"), "Plain");
  EXPECT_EQ(Value(r, 1, "Name"), "A");
  EXPECT_EQ(Value(r, 1, "Surname"), "Cut");
  EXPECT_EQ(Value(r, 2, "Name"), "Ok");
  EXPECT_EQ(Value(r, 3, "Name"), "");
}

TEST(WabFields, TextDecodingAgreesWithTheFullDecoderAtEveryPosition) {
  // ASCII runs are copied several units at a time: put the terminator, a
  // non-ASCII unit and an odd byte at every place around those steps.
  const auto utf16 = [](const std::u16string& s) {
    std::string b;
    for (char16_t c : s) {
      b += static_cast<char>(c & 0xFF);
      b += static_cast<char>(c >> 8);
    }
    return b;
  };
  for (std::size_t len = 0; len <= 13; ++len) {
    std::u16string base;
    for (std::size_t i = 0; i < len; ++i) base += static_cast<char16_t>('a' + i);
    EXPECT_EQ(wab::DecodeText(utf16(base), true, 1252), std::string(base.begin(), base.end()));
    EXPECT_EQ(wab::DecodeText(utf16(base) + "x", true, 1252), std::string(base.begin(), base.end()));
    for (std::size_t at = 0; at < len; ++at) {
      for (char16_t odd : {u'\0', u'\u00e9', u'\u0100', u'\u7f00', u'\u0080', u'\u4e2d'}) {
        std::u16string s = base;
        s[at] = odd;
        const std::string bytes = utf16(s);
        const std::size_t end = s.find(u'\0');
        const std::string expected =
            codepage::Utf16leToUtf8(std::string_view(bytes).substr(0, end == std::u16string::npos ? bytes.size() : end * 2));
        EXPECT_EQ(wab::DecodeText(bytes, true, 1252), expected) << "length " << len << " at " << at;
      }
    }
  }
  // Whatever follows the terminator is never looked at as text.
  EXPECT_EQ(wab::DecodeText(utf16(u"abcd") + std::string("\0\0\xff\xfe", 4), true, 1252), "abcd");
}

TEST(WabFields, OnlyExactKeysFindAField) {
  Book book;
  book.records.push_back(Contact(2, {Unicode(kGivenName, "G"), Unicode(kSurname, "S")}));
  wab::WabReader r(1252);
  OpenBook(r, book);
  r.Select(0);
  EXPECT_EQ(r.GetValue(""), "");
  // Keys that differ from a real one only inside, in case, or by length.
  for (auto key : kReaderFieldKeys) {
    std::string inside(key);
    inside[inside.size() / 2] ^= 0x01;
    EXPECT_EQ(r.GetValue(inside), "") << inside;
    EXPECT_EQ(r.GetValue(std::string(key) + "s"), "") << key;
    EXPECT_EQ(r.GetValue(std::string(key.substr(0, key.size() - 1))), "") << key;
  }
  EXPECT_EQ(r.GetValue("NAME"), "");
  EXPECT_EQ(r.GetValue("Name"), "G");
  EXPECT_EQ(r.GetValue("Surname"), "S");
}

// Every field by its key, HomeCountry too: each reads the property this
// test's own table names, and a key one letter off finds nothing.
TEST(WabFields, EveryReaderFieldKeyFindsOnlyItsProperty) {
  std::array<std::uint16_t, automation::kReaderFieldCount> ids{};
  std::copy(kKeyProperties.begin(), kKeyProperties.end(), ids.begin());
  ids[automation::FieldIndex(automation::ReaderField::HomeCountry)] = kHomeCountry;
  std::vector<Property> fields;
  for (std::size_t f = 0; f < ids.size(); ++f) fields.push_back(Unicode(ids[f], "v" + std::to_string(f)));
  Book book;
  book.records.push_back(Contact(2, fields));
  wab::WabReader r(1252);
  OpenBook(r, book);
  r.Select(0);
  for (std::size_t f = 0; f < ids.size(); ++f) {
    const std::string key(automation::Key(static_cast<automation::ReaderField>(f)));
    EXPECT_EQ(r.GetValue(key), "v" + std::to_string(f)) << key;
    std::string inside = key;  // the same hash slot, so only the full compare refuses it
    inside[key.size() / 2] ^= 0x01;
    for (const std::string& near : {key.substr(1), key + "y", inside}) EXPECT_EQ(r.GetValue(near), "") << near;
  }
}

TEST(WabFields, LargeBooksFollowTheirDescriptors) {
  // 1,200 contacts: every table outgrows 500 slots.
  Book book = testsupport::GeneratedBook(1200);
  for (bool tablesAfter : {false, true}) {
    book.tablesAfterRecords = tablesAfter;
    wab::WabReader r(1252);
    OpenBook(r, book);
    ASSERT_EQ(r.GetCount(), 1200);
    EXPECT_EQ(r.SkippedRecords(), 0);
    for (int i = 0; i < 1200; ++i) ASSERT_EQ(Values(r, i), testsupport::GeneratedContactValues(i)) << i;
  }
}

TEST(WabFields, OlderSignatureReadsWithTheSameLayout) {
  Book book = testsupport::GeneratedBook(20);
  book.oldSignature = true;
  testsupport::TempDir dir;
  WriteBookFile(dir / "old.wab", book);
  wab::WabReader r(1252);
  r.Open((dir / "old.wab").string());
  ASSERT_EQ(r.GetCount(), 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Values(r, i), testsupport::GeneratedContactValues(i));
}

TEST(WabFields, ComponentIsRegisteredUnderItsProgId) {
  automation::Registry::Instance().Unregister("warjo.wab");
  EXPECT_THROW(automation::Registry::Instance().CreateObject("warjo.wab"), automation::AutomationError);
  wab::RegisterComponent();
  auto a = automation::Registry::Instance().Create<automation::AddressBookReader>("warjo.wab");
  auto b = automation::Registry::Instance().Create<automation::AddressBookReader>("warjo.wab");
  EXPECT_NE(a.get(), b.get());  // each pass gets its own instance
  EXPECT_EQ(a->GetCount(), 0);
}

}  // namespace

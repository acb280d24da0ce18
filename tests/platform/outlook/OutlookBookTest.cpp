// The whole-book part of the Outlook export on books made by hand, through
// the real stand-in and engine, read back by libpff: e-mail addresses
// beyond three, lists with one-off and dangling members, folders.
#include <gtest/gtest.h>

#include "LibpffReadBack.h"
#include "export/OutlookBook.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/wab/WabReader.h"
#include "support/PstChecker.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

namespace ao = automation::outlook;
using testsupport::TempDir;

wab::Contact Person(std::uint32_t id, const std::string& given, int emails, std::optional<std::uint32_t> folder = {}) {
  wab::Contact c;
  c.id = id;
  c[wab::Field::GivenName] = given;
  c.displayName = given;
  c.folder = folder;
  for (int i = 0; i < emails; ++i)
    c.emails.push_back({given + std::to_string(i) + "@example.org", i == 5 ? "X400" : "SMTP", i == (emails > 1 ? 1 : 0)});
  return c;
}

struct Exported {
  readback::PstContent content;
  exports::OutlookBookOutcome outcome;
  std::string top;
};

class OutlookBookTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }

  // Exports the book as the export does, into a store written when detached.
  Exported Export(const wab::Book& book) {
    auto app = outlook::NewApplication();
    auto ns = app->GetNamespace("MAPI");
    const auto file = out.path() / "book.pst";
    ns->AddStoreEx(file.string(), ao::olStoreUnicode);
    auto root = ns->Folders()->GetLast();
    auto top = root->Folders()->Add("WAB Contacts", ao::olFolderContacts);
    Exported e;
    exports::OutlookFolderPlan plan(book, top);
    exports::SavedMembers saved;
    for (const wab::Contact& c : book.contacts) {
      auto item = plan.For(c.folder)->Items()->Add();
      item->SetProperty("FirstName", c[wab::Field::GivenName]);
      const wab::EmailAddress* d = c.DefaultEmail();
      item->SetProperty("Email1Address", d ? d->address : "");
      item->SetProperty("Body", c[wab::Field::Notes]);
      exports::SetWholeContact(*item, c, book, e.outcome);
      item->Save();
      saved[c.id] = exports::AsListMember(item, c);
    }
    exports::ExportGroups(book, plan, saved, e.outcome);
    ns->RemoveStore(*root);
    const auto check = testsupport::CheckPstFile(file);
    EXPECT_TRUE(check.ok()) << check.Report();
    e.content = readback::ReadWithLibpff(file);
    e.top = "/Top of Personal Folders/WAB Contacts";
    return e;
  }

  static const readback::Properties& Item(const readback::FolderContent& f, const std::string& given) {
    for (const auto& item : f.items)
      if (item.count("0x3a06") && item.at("0x3a06") == given) return item;
    throw std::runtime_error("no item " + given);
  }

  TempDir config, out;
};

TEST_F(OutlookBookTest, AddressesBeyondTheThirdGoIntoTheNotesAndAreCounted) {
  struct Row {
    int emails;
    const char* email2;
    const char* email3;
    std::vector<std::string> noteLines;
  };
  const std::vector<Row> rows{
      {3, "three0@example.org", "three2@example.org", {}},
      {4, "four0@example.org", "four2@example.org", {"E-mail: four3@example.org"}},
      {7, "seven0@example.org", "seven2@example.org",
       {"E-mail: seven3@example.org", "E-mail: seven4@example.org", "E-mail: seven5@example.org (X400)",
        "E-mail: seven6@example.org"}},
  };
  wab::Book book;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const char* names[] = {"three", "four", "seven"};
    book.contacts.push_back(Person(static_cast<std::uint32_t>(i + 1), names[i], rows[i].emails));
    book.contacts.back()[wab::Field::Notes] = "note";
  }
  const auto e = Export(book);
  EXPECT_EQ(e.outcome.addressesInNotes, 5);
  const auto* f = e.content.Find(e.top);
  ASSERT_NE(f, nullptr);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& item = Item(*f, book.contacts[i][wab::Field::GivenName]);
    SCOPED_TRACE(rows[i].emails);
    // The default address (the second stored) is e-mail 1; the others follow in order.
    EXPECT_EQ(item.at("lid:0x8083"), book.contacts[i].emails[1].address);
    EXPECT_EQ(item.at("lid:0x8093"), rows[i].email2);
    EXPECT_EQ(item.at("lid:0x80a3"), rows[i].email3);
    std::string body = "note";
    for (const auto& line : rows[i].noteLines) body += "\r\n" + line;
    EXPECT_EQ(item.at("0x1000"), body);
  }
  EXPECT_NE(exports::OutlookBookLines(e.outcome).find("5 e-mail addresses beyond the third"), std::string::npos);
}

TEST_F(OutlookBookTest, GroupsBecomeListsAndFoldersSubfolders) {
  wab::Book book;
  book.folders = {{1, "Main", std::nullopt}, {2, "Club", 1}, {3, "Club", 1}, {4, "Loop", 5}, {5, "Back", 4}};
  book.contacts = {Person(10, "ann", 1, 1), Person(11, "bob", 2, 2), Person(12, "cy", 0, 4)};
  wab::Group friends;
  friends.id = 20;
  friends.displayName = "Friends";
  friends.folder = 1;
  friends[wab::Field::Notes] = "our notes";
  friends.members = {{wab::Member::Kind::Record, 10, "", "", ""},
                     {wab::Member::Kind::Record, 11, "", "", ""},
                     {wab::Member::Kind::Record, 21, "", "", ""},  // another group
                     {wab::Member::Kind::Missing, 99, "", "", ""},
                     {wab::Member::Kind::OneOff, 0, "Outside", "out@example.net", "SMTP"},
                     {wab::Member::Kind::OneOff, 0, "No address", "", ""}};
  wab::Group club;
  club.id = 21;
  club.displayName = "Club, the";
  club.folder = 2;
  // Club lists Friends back: the circle is closed by a name in the notes.
  club.members = {{wab::Member::Kind::Record, 11, "", "", ""}, {wab::Member::Kind::Record, 20, "", "", ""}};
  club[wab::Field::HomePhone] = "555 0100";
  book.groups = {friends, club};
  book.contacts[0].groups = {20};
  book.contacts[1].groups = {20, 21};

  const auto e = Export(book);
  EXPECT_EQ(e.outcome.distributionLists, 2);
  EXPECT_EQ(e.outcome.nestedGroups, 1);
  EXPECT_EQ(e.outcome.membersLeftOut, 1);
  EXPECT_EQ(e.outcome.membersWithoutAddress, 1);
  // The one top-level folder is the export's folder itself; below it the
  // tree as the book has it; a second "Club" gets a number; a folder whose
  // parents form a loop still gets a place.
  for (const char* path : {"", "/Club", "/Club (2)", "/Back", "/Back/Loop"})
    EXPECT_NE(e.content.Find(e.top + path), nullptr) << path;
  EXPECT_EQ(e.content.Find(e.top + "/Main"), nullptr);
  const auto* main = e.content.Find(e.top);
  ASSERT_NE(main, nullptr);
  const readback::Properties* list = nullptr;
  for (const auto& item : main->items)
    if (item.at("0x001a") == "IPM.DistList") list = &item;
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->at("lid:0x8053"), "Friends");
  EXPECT_EQ(list->at("0x1000"), "our notes\r\nMember without an e-mail address: No address");
  const auto members = readback::MultiValues(readback::Unhex(list->at("lid:0x8055")));
  ASSERT_EQ(members.size(), 4u);  // ann, bob, the list of Club, the outside address
  auto pointsAt = [](const std::string& wrapped) {
    std::uint32_t nid = 0;
    for (int k = 3; k >= 0; --k) nid = (nid << 8) | static_cast<unsigned char>(wrapped[41 + k]);
    return readback::Hex(nid);
  };
  const auto* club1 = e.content.Find(e.top + "/Club");
  ASSERT_NE(club1, nullptr);
  EXPECT_EQ(Item(*club1, "bob").at("nid"), pointsAt(members[1]));
  EXPECT_EQ(static_cast<unsigned char>(members[1][20]), 0xC3);  // a contact's first address
  EXPECT_EQ(static_cast<unsigned char>(members[2][20]), 0xB4);  // a personal list
  const readback::Properties* clubList = nullptr;
  for (const auto& item : club1->items)
    if (item.at("0x001a") == "IPM.DistList") clubList = &item;
  ASSERT_NE(clubList, nullptr);
  EXPECT_EQ(clubList->at("nid"), pointsAt(members[2]));
  // The group's own fields with their labels, and the circle named.
  EXPECT_EQ(clubList->at("0x1000"), "Home phone: 555 0100\r\nMember group: Friends");
  EXPECT_NE(members[3].find(std::string("o\0u\0t\0@\0", 8)), std::string::npos);
  // Categories: the groups a contact is in, a comma in a name kept apart.
  const auto categories = readback::MultiValues(readback::Unhex(Item(*club1, "bob").at("name:Keywords")));
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[1], std::string("C\0l\0u\0b\0;\0 \0t\0h\0e\0\0\0", 20));
  const auto lines = exports::OutlookBookLines(e.outcome);
  EXPECT_NE(lines.find("\r\n2 Groups Saved as Distribution Lists"), std::string::npos);
  EXPECT_NE(lines.find("\r\n1 group member was left out"), std::string::npos);
  EXPECT_NE(lines.find("\r\n1 group member has no e-mail address and was named in its list's notes"),
            std::string::npos);
}

TEST_F(OutlookBookTest, AGroupTooLargeForOneListBecomesSeveralWithinOutlooksSize) {
  wab::Book book;
  wab::Group big;
  big.id = 30;
  big.displayName = "Big";
  for (int i = 0; i < 300; ++i) {
    const std::string a = "member" + std::to_string(1000 + i) + "@example.org";
    big.members.push_back({wab::Member::Kind::OneOff, 0, a, a, "SMTP"});
  }
  book.groups = {big};
  const auto e = Export(book);
  EXPECT_EQ(e.outcome.groupsSplit, 1);
  const auto* f = e.content.Find(e.top);
  ASSERT_NE(f, nullptr);
  std::size_t members = 0;
  std::vector<std::string> names;
  for (const auto& item : f->items) {
    names.push_back(item.at("lid:0x8053"));
    for (const char* list : {"lid:0x8055", "lid:0x8054"}) {
      const std::string bytes = readback::Unhex(item.at(list));
      EXPECT_LT(bytes.size(), 15000u) << names.back();
    }
    members += readback::MultiValues(readback::Unhex(item.at("lid:0x8055"))).size();
  }
  EXPECT_EQ(members, 300u);
  EXPECT_EQ(names, (std::vector<std::string>{"Big", "Big (2)", "Big (3)"}));
}

// Each contact read ahead through the reader comes with its own fields: a
// field a contact lacks is empty, not left from the contact before or from
// the one that last had its place in the read-ahead (two batches before).
TEST(OutlookReadAhead, EachContactComesWithItsOwnFieldsOnly) {
  namespace w = testsupport::wab;
  constexpr std::uint32_t kFull = 512;
  w::Book source;
  for (std::uint32_t id = 2; id < 2 + kFull; ++id)
    source.records.push_back(w::Contact(id, {w::Unicode(w::kGivenName, "Ada"), w::Unicode(w::kSurname, "Lovelace"),
                                             w::Unicode(w::kEmailAddress, "ada@example.org")}));
  source.records.push_back(w::Contact(2 + kFull, {w::Unicode(w::kGivenName, "Bo")}));
  wab::WabReader reader(1252);
  reader.OpenBytes(w::WriteBook(source), "b.wab");
  auto book = exports::OpenWholeBookAside(reader).get();
  ASSERT_TRUE(book);
  wab::ContactReadAhead ahead(kFull + 1, exports::ThroughReader(reader, *book, {"Name", "Surname", "HomeEmail"}));
  std::vector<std::string> got(3);
  for (std::uint32_t k = 0; k <= kFull; ++k) {
    const wab::Contact* c = ahead.Next();
    ASSERT_TRUE(c);
    exports::ReaderTexts(reader, ahead, got.data());
    const std::vector<std::string> want =
        k < kFull ? std::vector<std::string>{"Ada", "Lovelace", "ada@example.org"} : std::vector<std::string>{"Bo", "", ""};
    ASSERT_EQ(got, want) << k;
    EXPECT_EQ((*c)[wab::Field::GivenName], want[0]);
  }
}

}  // namespace

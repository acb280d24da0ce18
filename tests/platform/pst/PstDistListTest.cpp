// Distribution lists and calendar dates: read back by libpff (named
// properties through the file's name-to-id map) and by the structural
// checker's own reader, and held against a list Outlook made. Every other
// property is read back from the real book's export (CliTest).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "PstTestUtil.h"
#include "platform/pst/ContactProperties.h"
#include "platform/pst/Crc.h"
#include "platform/pst/DistListProperties.h"
#include "support/LittleEndian.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using pst::detail::Bytes;

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The values of a multi-valued binary or text, as stored.
std::vector<std::string> MultiValues(const std::string& v) {
  std::vector<std::string> out;
  if (v.size() < 4) return out;
  auto u32 = [&](std::size_t at) { return testsupport::le::Get32(v, at); };
  const std::uint32_t n = u32(0);
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t from = u32(4 + 4 * i), to = i + 1 < n ? u32(8 + 4 * i) : v.size();
    out.push_back(v.substr(from, to - from));
  }
  return out;
}

std::string Utf16(const std::string& ascii) {
  std::string s;
  for (char c : ascii) s += {c, '\0'};
  return s;
}

class PstWholeContact : public ::testing::TestWithParam<pst::Format> {
 protected:
  bool unicode() const { return GetParam() == pst::Format::Unicode; }
  testsupport::TempDir dir_;
};

// Calendar dates carry no time zone: the same instant wherever the file is written.
TEST(PstDates, MidnightUtcUnderOppositeTimeZones) {
  const char* saved = std::getenv("TZ");
  const std::string before = saved ? saved : "";
  std::vector<std::uint64_t> seen;
  for (const char* tz : {"Pacific/Kiritimati", "Pacific/Pago_Pago", "UTC"}) {
    setenv("TZ", tz, 1);
    tzset();
    seen.push_back(pst::detail::DateFiletime({2024, 2, 29}));
  }
  if (saved) setenv("TZ", before.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);
  EXPECT_EQ(seen[0] % (86400ull * 10000000ull), 0u);  // 1601 began on a midnight too
  // Outside what FILETIME and Outlook hold: no date at all.
  EXPECT_EQ(pst::detail::DateFiletime({1600, 12, 31}), 0u);
  EXPECT_EQ(pst::detail::DateFiletime({2024, 13, 1}), 0u);
}

TEST_P(PstWholeContact, ListMembersPointAtTheContactsOrCarryTheirAddress) {
  pst::Store store(GetParam(), "Windows Address Book Contacts");
  const pst::FolderId top = store.AddFolder(store.TopOfPersonalFolders(), "C", "IPF.Contact");
  const pst::FolderId sub = store.AddFolder(top, "Sub", "IPF.Contact");
  store.AddContact(top, psttest::FullContact(0));
  const pst::ItemId member = store.AddContact(sub, psttest::FullContact(1));
  pst::DistList list;
  list.DLName = "Team";
  list.Body = "the list's notes";
  list.members.push_back({member, "", "", ""});
  list.members.push_back({0, "Outside", "outside@example.org", "SMTP"});
  list.members.push_back({987654321, "Gone", "gone@example.org", ""});  // not in this store
  store.AddDistList(top, list);
  const auto file = dir_.path() / "list.pst";
  store.Write(file);
  const auto check = testsupport::CheckPstFile(file);
  ASSERT_TRUE(check.ok()) << check.Report();

  testsupport::PstFile raw(file);
  std::uint32_t contactNid = 0, listNid = 0;
  const std::uint16_t text = unicode() ? 0x001F : 0x001E;
  for (std::uint32_t nid : raw.Nodes()) {
    if ((nid & 0x1F) != 4) continue;
    auto p = raw.Properties(nid);
    if (p[0x3A060000u | text] == (unicode() ? Utf16("Given1") : "Given1")) contactNid = nid;
    if (p.count(0x001A0000u | text) && p[0x001A0000u | text].find(unicode() ? Utf16("DistList") : "DistList") !=
                                            std::string::npos)
      listNid = nid;
  }
  ASSERT_NE(contactNid, 0u);
  ASSERT_NE(listNid, 0u);
  auto props = raw.Properties(listNid);
  const std::string recordKey = raw.Properties(0x21).at(0x0FF90102);
  auto id = [](std::uint16_t lid, std::uint16_t type) {
    return (static_cast<std::uint32_t>(pst::detail::NamedPropId(lid)) << 16) | type;
  };
  const auto members = MultiValues(props.at(id(0x8055, 0x1102)));
  const auto oneOffs = MultiValues(props.at(id(0x8054, 0x1102)));
  ASSERT_EQ(members.size(), 3u);
  ASSERT_EQ(oneOffs.size(), 3u);
  // The contact: wrapped, naming its message in this store.
  std::string nid(4, '\0');
  std::memcpy(nid.data(), &contactNid, 4);
  EXPECT_EQ(members[0], Str(pst::detail::WrappedContactEntryId(Bytes(4, 0))).substr(0, 21) +
                            std::string(4, '\0') + recordKey + nid);
  EXPECT_NE(oneOffs[0].find(Utf16("person1@example.com")), std::string::npos);
  // The others: their one-off address, in both lists; the missing one too.
  EXPECT_EQ(members[1], oneOffs[1]);
  EXPECT_NE(members[1].find(Utf16("outside@example.org")), std::string::npos);
  EXPECT_EQ(members[2], Str(pst::detail::OneOffEntryId("Gone", "SMTP", "gone@example.org")));
  std::string all = members[0] + members[1] + members[2];
  std::string sum(4, '\0');
  const std::uint32_t crc = pst::detail::Crc(all.data(), all.size());
  std::memcpy(sum.data(), &crc, 4);
  EXPECT_EQ(props.at(id(0x804C, 0x0003)), sum);
  // The folder counts the list among its items; libpff reads it by name.
  psttest::PffWanted w{{0x001A, 0x8053, 0x1000}, {0x8006}, {}, {}};
  const auto read = psttest::ReadWithLibpff(file, w);
  const auto* folder = read.root.Find("Top of Personal Folders")->Find("C");
  ASSERT_NE(folder, nullptr);
  ASSERT_EQ(folder->items.size(), 2u);
  EXPECT_EQ(folder->items[1].text.at(0x001A), "IPM.DistList");
  EXPECT_EQ(folder->items[1].text.at(0x8053), "Team");
  EXPECT_EQ(folder->items[1].text.at(0x1000), "the list's notes");
  EXPECT_EQ(folder->items[1].number.at(0x8006), 0xFFFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Formats, PstWholeContact,
                         ::testing::Values(pst::Format::Ansi, pst::Format::Unicode),
                         [](const auto& i) { return i.param == pst::Format::Ansi ? "Ansi" : "Unicode"; });

// The list Outlook made holds its members in the layout we write: a wrapped
// contact, one-off addresses, and the checksum by the same rule.
TEST(PstDistList, OutlooksListHasOurLayout) {
  psttest::PffWanted w{{0x001A, 0x8053}, {0x804C, 0x8006, 0x1080}, {0x8055, 0x8054}, {}};
  const auto read = psttest::ReadWithLibpff(testsupport::TestDataPath("pst/dist-list.pst"), w);
  const auto* contacts = read.root.Find("Top of Personal Folders");
  ASSERT_NE(contacts, nullptr);
  contacts = contacts->Find("Contacts");
  ASSERT_NE(contacts, nullptr);
  const psttest::PffItem* list = nullptr;
  for (const auto& item : contacts->items)
    if (item.text.count(0x001A) && item.text.at(0x001A) == "IPM.DistList") list = &item;
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->text.at(0x8053), "test dist list");
  EXPECT_EQ(list->number.at(0x8006), 0xFFFFFFFFu);
  EXPECT_EQ(list->number.at(0x1080), 0x202u);
  const auto members = MultiValues(list->binary.at(0x8055));
  const auto oneOffs = MultiValues(list->binary.at(0x8054));
  ASSERT_EQ(members.size(), 3u);
  ASSERT_EQ(oneOffs.size(), 3u);
  EXPECT_EQ(members[0].substr(0, 21), Str(pst::detail::WrappedContactEntryId({})).substr(0, 21));
  EXPECT_EQ(members[0].size(), 21u + 24u);
  EXPECT_EQ(members[1], oneOffs[1]);
  const std::string ours = Str(pst::detail::OneOffEntryId("dist name 1", "SMTP", "dist1@rjohnson.id.au"));
  EXPECT_EQ(members[1], ours);
  std::string all = members[0] + members[1] + members[2];
  EXPECT_EQ(pst::detail::Crc(all.data(), all.size()), list->number.at(0x804C));
}

}  // namespace

// The store model, and what the written file holds, read with our own
// structural reader: node layout, properties, tables, the name-to-id map,
// text encodings, and failures while writing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include "PstTestUtil.h"
#include "platform/codepage/CodePage.h"
#include "platform/pst/PackedContacts.h"
#include "support/LittleEndian.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using pst::Format;
using testsupport::PstFile;

std::string U16(const std::string& utf8) { return codepage::Utf8ToUtf16le(utf8); }

std::uint32_t Le32(const std::string& s) { return testsupport::le::Value32(s); }

// The property id the file's name-to-id map gives a numeric name in the
// address property set, checked against its hash bucket too.
std::uint16_t NamedId(const PstFile& f, std::uint16_t lid) {
  auto map = f.Properties(0x61);
  const std::string& guids = map.at(0x00020102);
  const std::string kAddress("\x04\x20\x06\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
  std::size_t g = guids.find(kAddress);
  EXPECT_NE(g, std::string::npos);
  std::uint16_t guidIndex = static_cast<std::uint16_t>(3 + g / 16);
  const std::string& entries = map.at(0x00030102);
  for (std::size_t i = 0; i + 8 <= entries.size(); i += 8) {
    if (Le32(entries.substr(i, 4)) != lid) continue;
    std::uint16_t kind = static_cast<std::uint16_t>(Le32(entries.substr(i + 4, 2)));
    EXPECT_EQ(kind, guidIndex << 1);
    std::uint32_t bucket = (lid ^ kind) % 251;
    auto b = map.find(((0x1000u + bucket) << 16) | 0x0102);
    EXPECT_TRUE(b != map.end() && b->second.find(entries.substr(i, 8)) != std::string::npos)
        << "named property " << lid << " missing from its hash bucket";
    return static_cast<std::uint16_t>(0x8000 + Le32(entries.substr(i + 6, 2)));
  }
  ADD_FAILURE() << "named property " << std::hex << lid << " not in the map";
  return 0;
}

std::vector<std::uint32_t> NodesOfType(const PstFile& f, std::uint32_t type) {
  std::vector<std::uint32_t> out;
  for (auto nid : f.Nodes())
    if ((nid & 0x1F) == type) out.push_back(nid);
  return out;
}

TEST(PstStore, NewStoreHasTheStandardFoldersAndRefusesMisuse) {
  pst::Store s(Format::Unicode, "Windows Address Book Contacts");
  EXPECT_EQ(s.FolderName(s.TopOfPersonalFolders()), "Top of Personal Folders");
  EXPECT_EQ(s.FolderName(s.DeletedItems()), "Deleted Items");
  auto top = s.Subfolders(s.TopOfPersonalFolders());
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0], s.DeletedItems());

  pst::FolderId f = s.AddFolder(s.TopOfPersonalFolders(), "Contacts", "IPF.Contact");
  EXPECT_EQ(s.FolderContainerClass(f), "IPF.Contact");
  EXPECT_THROW(s.AddFolder(s.TopOfPersonalFolders(), "Contacts"), pst::PstError);
  EXPECT_THROW(s.AddFolder(9999, "x"), pst::PstError);
  EXPECT_THROW(s.AddContact(s.RootFolder(), pst::Contact{}), pst::PstError);
  EXPECT_THROW(s.MoveFolder(s.DeletedItems(), s, f), pst::PstError);
  pst::FolderId inner = s.AddFolder(f, "Inner");
  EXPECT_THROW(s.MoveFolder(f, s, inner), pst::PstError);
  EXPECT_THROW(pst::Store(Format::Ansi, "x", 99999), pst::PstError);
}

class PstWritten : public ::testing::TestWithParam<std::tuple<Format, int>> {
 protected:
  Format format() const { return std::get<0>(GetParam()); }
  int count() const { return std::get<1>(GetParam()); }
  testsupport::TempDir dir_;
};

TEST_P(PstWritten, IsStructurallySoundWithItemsAndTablesInStep) {
  auto path = dir_ / "c.pst";
  psttest::WriteContactsFile(path, format(), count());
  auto r = testsupport::CheckPstFile(path);
  ASSERT_TRUE(r.ok()) << r.Report();
  EXPECT_EQ(r.markedUnused, 0u);
  EXPECT_EQ(r.refCountMismatches, 0u);
  EXPECT_EQ(r.unreferencedBlocks, 0u);
  EXPECT_EQ(r.unicode, format() == Format::Unicode);
  EXPECT_EQ(r.cryptMethod, 0);
  EXPECT_EQ(std::filesystem::file_size(path), r.fileSize);
  if (count() == 0) {
    EXPECT_EQ(r.fileSize, 271360u);  // one map interval, as Outlook's new files
  }

  PstFile f(path);
  auto messages = NodesOfType(f, 0x04);
  ASSERT_EQ(messages.size(), static_cast<std::size_t>(count()));
  const std::uint32_t folder = 0x8082;
  ASSERT_EQ(f.Parent(folder), 0x8022u);
  auto fp = f.Properties(folder);
  const std::uint16_t str = format() == Format::Unicode ? 0x1F : 0x1E;
  EXPECT_EQ(Le32(fp.at(0x36020003)), static_cast<std::uint32_t>(count()));
  EXPECT_EQ(fp.at((0x3613u << 16) | str),
            format() == Format::Unicode ? U16("IPF.Contact") : std::string("IPF.Contact"));

  // The parent's hierarchy table lists Deleted Items and the new folder.
  auto hier = f.Table(0x802D);
  ASSERT_EQ(hier.rows.size(), 2u);
  std::set<std::uint32_t> ids;
  for (auto& row : hier.rows) ids.insert(Le32(row.at(0x67F20003)));
  EXPECT_EQ(ids, (std::set<std::uint32_t>{0x8062, folder}));
  for (auto& row : hier.rows)
    if (Le32(row.at(0x67F20003)) == folder) {
      EXPECT_EQ(Le32(row.at(0x36020003)), static_cast<std::uint32_t>(count()));
    }

  // One contents row per item, copying the item's class and subject.
  auto contents = f.Table(0x808E);
  ASSERT_EQ(contents.rows.size(), static_cast<std::size_t>(count()));
  for (auto& row : contents.rows) {
    std::uint32_t nid = Le32(row.at(0x67F20003));
    ASSERT_EQ(f.Parent(nid), folder);
    auto props = f.Properties(nid);
    EXPECT_EQ(row.at((0x001Au << 16) | str), props.at((0x001Au << 16) | str));
    EXPECT_EQ(row.at((0x0037u << 16) | str), props.at((0x0037u << 16) | str));
    EXPECT_EQ(Le32(row.at(0x0E070003)), 1u);
  }
  // Root: the IPM subtree, the search root and the spam search folder.
  EXPECT_EQ(f.Table(0x12D).rows.size(), 3u);
  EXPECT_EQ(f.Parent(0x122), 0x122u);
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAndCounts, PstWritten,
    ::testing::Combine(::testing::Values(Format::Ansi, Format::Unicode), ::testing::Values(0, 1, 3, 1000)),
    [](const auto& i) {
      return std::string(std::get<0>(i.param) == Format::Ansi ? "Ansi" : "Unicode") + "_" +
             std::to_string(std::get<1>(i.param));
    });

TEST(PstStore, ContactPropertiesIncludingComputedAndNamedOnes) {
  testsupport::TempDir dir;
  for (Format format : {Format::Unicode, Format::Ansi}) {
    auto path = dir / "one.pst";
    psttest::WriteContactsFile(path, format, 1);
    PstFile f(path);
    const bool u = format == Format::Unicode;
    const std::uint32_t str = u ? 0x1F : 0x1E;
    auto text = [&](const std::string& s) { return u ? U16(s) : s; };
    auto props = f.Properties(NodesOfType(f, 0x04).at(0));
    auto tagged = [&](std::uint16_t id) { return props.at((std::uint32_t{id} << 16) | str); };
    auto named = [&](std::uint16_t lid, std::uint32_t type) {
      return props.at((std::uint32_t{NamedId(f, lid)} << 16) | type);
    };
    EXPECT_EQ(tagged(0x001A), text("IPM.Contact"));
    EXPECT_EQ(tagged(0x3001), text("Given0 M Family0"));
    EXPECT_EQ(tagged(0x0037), text("Given0 M Family0"));
    EXPECT_EQ(tagged(0x3A06), text("Given0"));
    EXPECT_EQ(tagged(0x3A21), text("+1 555 500 0"));
    EXPECT_EQ(tagged(0x3A51), text("http://example.com/0"));
    EXPECT_EQ(tagged(0x1000), text("Notes for 0\r\nsecond line"));
    EXPECT_EQ(tagged(0x3A29), text("0 Work Street"));  // mailing address = business
    EXPECT_EQ(named(0x8005, str), text("Family0, Given0 M"));
    EXPECT_EQ(Le32(named(0x8006, 0x0003)), 0x8017u);
    EXPECT_EQ(named(0x8083, str), text("person0@example.com"));
    EXPECT_EQ(named(0x8082, str), text("SMTP"));
    EXPECT_EQ(named(0x8080, str), text("Given0 M Family0 (person0@example.com)"));
    EXPECT_EQ(named(0x802B, str), text("http://example.com/0"));
    EXPECT_EQ(named(0x801B, str), text("0 Work Street\r\nWorktown WS W0\r\nWorkland"));
    EXPECT_EQ(named(0x801A, str), text("0 Home Road\r\nHomeland"));
    EXPECT_EQ(Le32(named(0x8022, 0x0003)), 2u);
    EXPECT_EQ(named(0x8028, 0x1003), std::string(4, '\0'));
    EXPECT_EQ(props.at(0x300B0102).size(), 16u);
    EXPECT_EQ(props.count(0x3FFD0003), u ? 0u : 1u);
    if (!u) {
      EXPECT_EQ(Le32(props.at(0x3FFD0003)), 1252u);
    }

    // The store: its name and entry ids that point at the standard folders.
    auto store = f.Properties(0x21);
    EXPECT_EQ(store.at((0x3001u << 16) | str), text("Windows Address Book Contacts"));
    const std::string& key = store.at(0x0FF90102);
    ASSERT_EQ(key.size(), 16u);
    EXPECT_EQ(store.at(0x35E00102), std::string(4, '\0') + key + std::string("\x22\x80\0\0", 4));
    EXPECT_EQ(store.at(0x35E30102), std::string(4, '\0') + key + std::string("\x62\x80\0\0", 4));
  }
}

TEST(PstStore, EmptyAndLongValues) {
  testsupport::TempDir dir;
  for (Format format : {Format::Unicode, Format::Ansi}) {
    pst::Store s(format, "S");
    auto folder = s.AddFolder(s.TopOfPersonalFolders(), "F", "IPF.Contact");
    s.AddContact(folder, pst::Contact{});  // nothing set at all
    pst::Contact onlyCompany;
    onlyCompany.CompanyName = "Acme";
    s.AddContact(folder, onlyCompany);
    pst::Contact longNote;
    longNote.LastName = "Long";
    for (int i = 0; longNote.Body.size() < 45 * 1024; ++i) longNote.Body += "line " + std::to_string(i) + "\r\n";
    s.AddContact(folder, longNote);
    pst::Contact longName;  // its subject is too long for the table's heap
    longName.FirstName = std::string(4000, 'N');
    s.AddContact(folder, longName);
    auto path = dir / "e.pst";
    s.Write(path);
    auto r = testsupport::CheckPstFile(path);
    ASSERT_TRUE(r.ok()) << r.Report();

    PstFile f(path);
    const bool u = format == Format::Unicode;
    const std::uint32_t str = u ? 0x1F : 0x1E;
    auto msgs = NodesOfType(f, 0x04);
    ASSERT_EQ(msgs.size(), 4u);
    auto empty = f.Properties(msgs[0]);
    EXPECT_EQ(empty.count((0x3A11u << 16) | str), 0u);  // unset fields are absent
    EXPECT_EQ(empty.count((0x3001u << 16) | str), 0u);
    EXPECT_EQ(Le32(empty.at((std::uint32_t{NamedId(f, 0x8006)} << 16) | 3)), 0u);
    auto company = f.Properties(msgs[1]);
    EXPECT_EQ(company.at((std::uint32_t{NamedId(f, 0x8005)} << 16) | str), u ? U16("Acme") : "Acme");
    EXPECT_EQ(Le32(company.at((std::uint32_t{NamedId(f, 0x8006)} << 16) | 3)), 0x3A16u);
    auto big = f.Properties(msgs[2]);
    EXPECT_EQ(big.at((0x1000u << 16) | str), u ? U16(longNote.Body) : longNote.Body);
    auto contents = f.Table(0x808E);
    ASSERT_EQ(contents.rows.size(), 4u);
    std::string subject = u ? U16(longName.FirstName) : longName.FirstName;
    EXPECT_EQ(contents.rows[3].at((0x0037u << 16) | str), subject);
    EXPECT_EQ(f.Properties(msgs[3]).at((0x0037u << 16) | str), subject);
  }
}

TEST(PstStore, AnsiTextUsesTheStoresCodePage) {
  testsupport::TempDir dir;
  pst::Store s(Format::Ansi, "Контакты", 1251);
  auto folder = s.AddFolder(s.TopOfPersonalFolders(), "Папка", "IPF.Contact");
  pst::Contact c;
  c.FirstName = "Иван";
  c.LastName = "山田";  // not in code page 1251
  s.AddContact(folder, c);
  s.Write(dir / "a.pst");
  PstFile f(dir / "a.pst");
  auto props = f.Properties(NodesOfType(f, 0x04).at(0));
  EXPECT_EQ(props.at(0x3A06001E), "\xC8\xE2\xE0\xED");
  EXPECT_EQ(props.at(0x3A11001E), "??");
  EXPECT_EQ(Le32(props.at(0x3FFD0003)), 1251u);
  EXPECT_EQ(f.Properties(0x21).at(0x3001001E), codepage::FromUtf8("Контакты", 1251).bytes);
}

// The store keeps contacts packed: every field of every contact comes back
// as it went in, whatever its size and wherever the packing cut its chunks.
TEST(PstStore, ContactsComeBackFieldForFieldFromThePackedList) {
  using pst::detail::kContactFields;
  std::vector<pst::Contact> given;
  given.emplace_back();  // nothing set
  for (int i = 0; i < 3000; ++i) {  // some 2 MB: several chunks
    pst::Contact c;
    for (std::size_t k = 0; k < kContactFields.size(); ++k)
      c.*kContactFields[k] = "field " + std::to_string(k) + " of " + std::to_string(i) + (i % 7 ? "" : " \xC3\xA9\xE2\x82\xAC");
    c.Children.assign(static_cast<std::size_t>(i % 4), "child of " + std::to_string(i));
    c.Categories = {"group " + std::to_string(i % 5)};
    c.Gender = i % 3;
    c.Birthday = {1900 + i % 120, 1 + i % 12, 1 + i % 28};
    c.Anniversary = {2000, 2, 29};
    given.push_back(c);
  }
  pst::Contact huge;
  huge.Body = std::string((1 << 20) + 17, 'x');  // larger than a chunk
  huge.LastName = std::string(1, '\0') + "after a NUL";
  given.insert(given.begin() + 1500, huge);

  pst::Store store(Format::Unicode, "S");
  const pst::FolderId folder = store.AddFolder(store.TopOfPersonalFolders(), "F", "IPF.Contact");
  for (const auto& c : given) store.AddContact(folder, c);
  const std::vector<pst::Contact> back = store.Contacts(folder);
  ASSERT_EQ(back.size(), given.size());
  for (std::size_t i = 0; i < given.size(); ++i) {
    for (std::size_t k = 0; k < kContactFields.size(); ++k)
      ASSERT_EQ(back[i].*kContactFields[k], given[i].*kContactFields[k]) << "contact " << i << " field " << k;
    ASSERT_EQ(back[i].Children, given[i].Children) << "contact " << i;
    ASSERT_EQ(back[i].Categories, given[i].Categories) << "contact " << i;
    ASSERT_EQ(back[i].Gender, given[i].Gender) << "contact " << i;
    ASSERT_EQ(back[i].Birthday.day, given[i].Birthday.day) << "contact " << i;
    ASSERT_EQ(back[i].Anniversary.month, given[i].Anniversary.month) << "contact " << i;
  }
}

TEST(PstStore, RenameAndMoveBetweenStoresReachTheFile) {
  testsupport::TempDir dir;
  pst::Store from(Format::Unicode, "Personal Folders");
  pst::Store to(Format::Ansi, "Temporary");
  to.Rename("Windows Address Book Contacts");
  auto folder = from.AddFolder(from.TopOfPersonalFolders(), "WAB Contacts", "IPF.Contact");
  auto sub = from.AddFolder(folder, "Sub", "IPF.Contact");
  for (int i = 0; i < 3; ++i) from.AddContact(folder, psttest::FullContact(i));
  from.AddContact(sub, psttest::FullContact(9));

  auto moved = from.MoveFolder(folder, to, to.TopOfPersonalFolders());
  EXPECT_THROW(from.FolderName(folder), pst::PstError);
  EXPECT_EQ(from.Subfolders(from.TopOfPersonalFolders()).size(), 1u);  // Deleted Items only
  EXPECT_EQ(to.FolderName(moved), "WAB Contacts");
  EXPECT_EQ(to.ContactCount(moved), 3u);
  ASSERT_EQ(to.Subfolders(moved).size(), 1u);
  EXPECT_EQ(to.ContactCount(to.Subfolders(moved)[0]), 1u);
  EXPECT_EQ(to.Contacts(moved)[2].FirstName, "Given2");

  from.Write(dir / "from.pst");
  to.Write(dir / "to.pst");
  PstFile a(dir / "from.pst");
  EXPECT_TRUE(NodesOfType(a, 0x04).empty());
  PstFile b(dir / "to.pst");
  EXPECT_EQ(b.Properties(0x21).at(0x3001001E), "Windows Address Book Contacts");
  EXPECT_EQ(NodesOfType(b, 0x04).size(), 4u);
  EXPECT_EQ(b.Table(0x808D).rows.size(), 1u);  // the moved folder's own subfolder
  EXPECT_TRUE(testsupport::CheckPstFile(dir / "to.pst").ok());

  // Moving inside one store keeps the handle.
  auto other = to.AddFolder(to.TopOfPersonalFolders(), "Other");
  EXPECT_EQ(to.MoveFolder(moved, to, other), moved);
  EXPECT_EQ(to.Subfolders(other), std::vector<pst::FolderId>{moved});
}

std::size_t FilesIn(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(PstStore, FailedWritesReportTheCauseAndLeaveNoFileBehind) {
  testsupport::TempDir dir;
  pst::Store s(Format::Unicode, "S");
  try {
    s.Write(dir / "missing" / "x.pst");
    ADD_FAILURE() << "no error";
  } catch (const pst::PstError& e) {
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("x.pst"), std::string::npos) << e.what();
  }

  // A file that may not grow past 100 KB stands in for a full disk; the
  // earlier file under the name stays as it was.
  testsupport::WriteFile(dir / "old.pst", "previous contents");
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(s.Write(dir / "old.pst"), pst::PstError);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(testsupport::ReadFile(dir / "old.pst"), "previous contents");
  EXPECT_EQ(FilesIn(dir.path()), 1u);

  // And a good write replaces it.
  s.Write(dir / "old.pst");
  EXPECT_TRUE(testsupport::CheckPstFile(dir / "old.pst").ok());
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

}  // namespace

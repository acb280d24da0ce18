// Files read back by readers nobody here wrote: libpff (through its
// library, the way pffexport walks the hierarchy and contents tables) and
// libpst (lspst and readpst, which walk the node parents instead).
#include <gtest/gtest.h>

#include "PstTestUtil.h"
#include "platform/codepage/CodePage.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using pst::Format;
using psttest::PffFolder;
using psttest::ReadWithLibpff;
using testsupport::ShellQuote;

const char* Name(Format f) { return f == Format::Ansi ? "Ansi" : "Unicode"; }

// What every property of FullContact(i) must read back as, spelled out.
std::map<std::uint32_t, std::string> ExpectedText(int i) {
  const std::string n = std::to_string(i);
  return {
      {0x001A, "IPM.Contact"},
      {0x0037, "Given" + n + " M Family" + n},
      {0x3001, "Given" + n + " M Family" + n},
      {0x3A06, "Given" + n},
      {0x3A44, "M"},
      {0x3A11, "Family" + n},
      {0x3A16, "Company " + n},
      {0x3A08, "+1 555 100 " + n},
      {0x3A24, "+1 555 200 " + n},
      {0x3A09, "+1 555 300 " + n},
      {0x3A25, "+1 555 400 " + n},
      {0x3A21, "+1 555 500 " + n},
      {0x3A5D, n + " Home Road"},
      {0x3A5A, "Homeland"},
      {0x3A19, "Room " + n},
      {0x3A51, "http://example.com/" + n},
      {0x1000, "Notes for " + n + "\r\nsecond line"},
      {0x3A29, n + " Work Street"},
      {0x3A27, "Worktown"},
      {0x3A28, "WS"},
      {0x3A2A, "W" + n},
      {0x3A26, "Workland"},
      {0x8005, "Family" + n + ", Given" + n + " M"},
      {0x8045, n + " Work Street"},
      {0x8046, "Worktown"},
      {0x8047, "WS"},
      {0x8048, "W" + n},
      {0x8049, "Workland"},
      {0x8083, "person" + n + "@example.com"},
      {0x802B, "http://example.com/" + n},
      {0x8080, "Given" + n + " M Family" + n + " (person" + n + "@example.com)"},
      {0x8082, "SMTP"},
      {0x8084, "person" + n + "@example.com"},
      {0x801A, n + " Home Road\r\nHomeland"},
      {0x801B, n + " Work Street\r\nWorktown WS W" + n + "\r\nWorkland"},
  };
}

class PstReaders : public ::testing::TestWithParam<std::tuple<Format, int>> {
 protected:
  Format format() const { return std::get<0>(GetParam()); }
  int count() const { return std::get<1>(GetParam()); }
  testsupport::TempDir dir_;
};

TEST_P(PstReaders, LibpffFindsStoreFoldersAndEveryPropertyOfEveryContact) {
  auto path = dir_ / "c.pst";
  const std::string folder = psttest::WriteContactsFile(path, format(), count());
  auto store = ReadWithLibpff(path, psttest::ContactWanted());
  EXPECT_EQ(store.name, "Windows Address Book Contacts");
  EXPECT_EQ(store.unicode, format() == Format::Unicode);
  const PffFolder* top = store.root.Find("Top of Personal Folders");
  ASSERT_NE(top, nullptr);
  EXPECT_NE(store.root.Find("Search Root"), nullptr);
  ASSERT_EQ(top->folders.size(), 2u);
  EXPECT_NE(top->Find("Deleted Items"), nullptr);
  const PffFolder* contacts = top->Find(folder);
  ASSERT_NE(contacts, nullptr);
  ASSERT_EQ(contacts->items.size(), static_cast<std::size_t>(count()));
  for (int i = 0; i < count(); ++i) {
    const auto& item = contacts->items[i];
    for (const auto& [tag, want] : ExpectedText(i)) {
      auto it = item.text.find(tag);
      ASSERT_NE(it, item.text.end()) << "contact " << i << " property " << std::hex << tag;
      EXPECT_EQ(it->second, want) << "contact " << i << " property " << std::hex << tag;
    }
    EXPECT_EQ(item.number.at(0x0E07), 1u);
    EXPECT_EQ(item.number.at(0x8006), 0x8017u);
    EXPECT_EQ(item.number.at(0x8022), 2u);
    EXPECT_EQ(item.number.at(0x8029), 1u);
    EXPECT_EQ(item.binary.at(0x300B).size(), 16u);
  }
}

TEST_P(PstReaders, LspstAndReadpstListEveryContact) {
  auto path = dir_ / "c.pst";
  const std::string folder = psttest::WriteContactsFile(path, format(), count());
  int status = 0;
  std::string ls = psttest::Run("lspst " + ShellQuote(path.string()) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << ls;
  if (count() > 0) {
    EXPECT_NE(ls.find("Folder \"" + folder + "\""), std::string::npos) << ls;
  }
  EXPECT_EQ(psttest::CountLines(ls, "Contact\t"), static_cast<std::size_t>(count()));
  if (count() > 0) {
    EXPECT_NE(ls.find("Contact\tFamily0\\, Given0 M\n"), std::string::npos) << ls;
  }

  auto out = dir_ / "out";
  std::filesystem::create_directory(out);
  std::string log = psttest::Run("readpst -r -cv -o " + ShellQuote(out.string()) + " " +
                                     ShellQuote(path.string()) + " 2>&1",
                                 &status);
  ASSERT_EQ(status, 0) << log;
  if (count() == 0) return;
  auto vcards = out / "Windows Address Book Contacts" / folder / "contacts";
  ASSERT_TRUE(std::filesystem::exists(vcards)) << log;
  std::string v = testsupport::ReadFile(vcards);
  EXPECT_EQ(psttest::CountLines(v, "BEGIN:VCARD"), static_cast<std::size_t>(count()));
  for (const char* line : {"FN:Family0\\, Given0 M\n", "N:Family0;Given0;M;;\n",
                           "EMAIL:person0@example.com\n", "ORG:Company 0\n",
                           "TEL;TYPE=work,voice:+1 555 100 0\n", "TEL;TYPE=work,fax:+1 555 200 0\n",
                           "TEL;TYPE=home,voice:+1 555 300 0\n", "TEL;TYPE=home,fax:+1 555 400 0\n",
                           "ADR;TYPE=work:;;0 Work Street;Worktown;WS;W0;Workland\n",
                           "NOTE:Notes for 0\\nsecond line\n"})
    EXPECT_NE(v.find(line), std::string::npos) << line << "\n" << v.substr(0, 2000);
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAndCounts, PstReaders,
    ::testing::Combine(::testing::Values(Format::Ansi, Format::Unicode), ::testing::Values(0, 1, 3, 1000)),
    [](const auto& i) { return std::string(Name(std::get<0>(i.param))) + "_" + std::to_string(std::get<1>(i.param)); });

TEST(PstReadersText, NonAsciiNamesInUnicodeAndInAnAnsiCodePage) {
  testsupport::TempDir dir;
  struct Case { Format format; int codePage; std::string first, last, expectLast; };
  for (const Case& c : {Case{Format::Unicode, 1252, "Jürgen Ærø", "山田 Ω", "山田 Ω"},
                        Case{Format::Ansi, 1251, "Иван", "Петров 山", "Петров ?"},
                        Case{Format::Ansi, 1252, "Jürgen", "Ærø Иван", "Ærø ????"}}) {
    SCOPED_TRACE(std::string(Name(c.format)) + " " + std::to_string(c.codePage));
    pst::Store s(c.format, "Адресная книга", c.codePage);
    auto folder = s.AddFolder(s.TopOfPersonalFolders(), "Контакты Ω", "IPF.Contact");
    pst::Contact ct;
    ct.FirstName = c.first;
    ct.LastName = c.last;
    ct.Body = "Заметка — ü";
    s.AddContact(folder, ct);
    auto path = dir / "n.pst";
    s.Write(path);
    ASSERT_TRUE(testsupport::CheckPstFile(path).ok());

    // libpff decodes 8-bit text in the code page it is told about.
    auto store = ReadWithLibpff(path, psttest::ContactWanted(), c.format == Format::Ansi ? c.codePage : 0);
    auto lossy = [&](const std::string& s) {
      return c.format == Format::Unicode ? s : codepage::ToUtf8(codepage::FromUtf8(s, c.codePage).bytes, c.codePage);
    };
    EXPECT_EQ(store.name, lossy("Адресная книга"));
    const PffFolder* top = store.root.Find("Top of Personal Folders");
    ASSERT_NE(top, nullptr);
    const PffFolder* f = top->Find(lossy("Контакты Ω"));
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->items.size(), 1u);
    EXPECT_EQ(f->items[0].text.at(0x3A06), lossy(c.first));
    EXPECT_EQ(f->items[0].text.at(0x3A11), c.expectLast);
    EXPECT_EQ(f->items[0].text.at(0x8005), c.expectLast + ", " + lossy(c.first));
    EXPECT_EQ(f->items[0].text.at(0x1000), lossy("Заметка — ü"));
    if (c.format == Format::Ansi) {
      EXPECT_EQ(f->items[0].number.at(0x3FFD), static_cast<std::uint32_t>(c.codePage));
    }

    // readpst converts 8-bit text by the code page the item states.
    auto out = dir / (std::string(Name(c.format)) + std::to_string(c.codePage));
    std::filesystem::create_directory(out);
    int status = 0;
    std::string log = psttest::Run("readpst -cv -o " + ShellQuote(out.string()) + " " + ShellQuote(path.string()) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << log;
    std::string vcards;
    for (auto& e : std::filesystem::directory_iterator(out))
      if (e.path().extension() == ".contacts") vcards += testsupport::ReadFile(e.path());
    EXPECT_NE(vcards.find("FN:" + c.expectLast + "\\, " + lossy(c.first) + "\n"), std::string::npos) << vcards;
    EXPECT_NE(vcards.find("NOTE:" + lossy("Заметка — ü")), std::string::npos) << vcards;

    // lspst prints contact names as stored: UTF-8, or the code page's bytes.
    std::string ls = psttest::Run("lspst " + ShellQuote(path.string()) + " 2>&1");
    std::string stored = c.expectLast + "\\, " + lossy(c.first);
    if (c.format == Format::Ansi) stored = codepage::FromUtf8(stored, c.codePage).bytes;
    EXPECT_NE(ls.find("Contact\t" + stored), std::string::npos) << ls;
  }
}

TEST(PstReadersText, CharactersBeyondTheBasicPlaneSurvive) {
  // libpff (2018) mangles surrogate pairs, so this is checked through libpst.
  testsupport::TempDir dir;
  pst::Store s(Format::Unicode, "Windows Address Book Contacts");
  auto folder = s.AddFolder(s.TopOfPersonalFolders(), "F", "IPF.Contact");
  pst::Contact ct;
  ct.LastName = "Smile 😀";
  s.AddContact(folder, ct);
  s.Write(dir / "e.pst");
  std::string ls = psttest::Run("lspst " + ShellQuote((dir / "e.pst").string()) + " 2>&1");
  EXPECT_NE(ls.find("Contact\tSmile 😀\n"), std::string::npos) << ls;
}

TEST(PstReadersText, LongBodiesAndEmptyContactsReadBack) {
  testsupport::TempDir dir;
  for (Format format : {Format::Ansi, Format::Unicode}) {
    SCOPED_TRACE(Name(format));
    pst::Store s(format, "Windows Address Book Contacts");
    auto folder = s.AddFolder(s.TopOfPersonalFolders(), "F", "IPF.Contact");
    pst::Contact big = psttest::FullContact(1);
    big.Body.clear();
    for (int i = 0; big.Body.size() < 45 * 1024; ++i) big.Body += "Line " + std::to_string(i) + " of a long note\r\n";
    s.AddContact(folder, big);
    s.AddContact(folder, pst::Contact{});
    pst::Contact lastOnly;
    lastOnly.LastName = "Solo";
    s.AddContact(folder, lastOnly);
    auto path = dir / "b.pst";
    s.Write(path);

    auto store = ReadWithLibpff(path, psttest::ContactWanted());
    const PffFolder* f = store.root.Find("Top of Personal Folders")->Find("F");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->items.size(), 3u);
    EXPECT_EQ(f->items[0].text.at(0x1000), big.Body);
    EXPECT_EQ(f->items[1].text.at(0x001A), "IPM.Contact");
    EXPECT_EQ(f->items[1].text.count(0x3001), 0u);
    EXPECT_EQ(f->items[2].text.at(0x8005), "Solo");
    EXPECT_EQ(f->items[2].text.count(0x8083), 0u);

    auto out = dir / Name(format);
    std::filesystem::create_directory(out);
    int status = 0;
    std::string log = psttest::Run("readpst -cv -o " + ShellQuote(out.string()) + " " + ShellQuote(path.string()) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << log;
    std::string v = testsupport::ReadFile(out / "F.contacts");
    EXPECT_EQ(psttest::CountLines(v, "BEGIN:VCARD"), 3u);
    EXPECT_NE(log.find("3 items done, 0 items skipped"), std::string::npos) << log;
    EXPECT_NE(v.find("Line 1000 of a long note"), std::string::npos);
    EXPECT_NE(v.find("FN:Solo\n"), std::string::npos);
  }
}

TEST(PstReadersText, ContactWithoutAnyFieldIsStillListed) {
  // libpst treats an item as a contact only once it has seen a contact
  // property with a value, and it drops empty strings; a contact of nothing
  // but empty fields must still be listed by it, not skipped.
  testsupport::TempDir dir;
  for (Format format : {Format::Ansi, Format::Unicode}) {
    SCOPED_TRACE(Name(format));
    pst::Store s(format, "Windows Address Book Contacts");
    auto folder = s.AddFolder(s.TopOfPersonalFolders(), "F", "IPF.Contact");
    s.AddContact(folder, pst::Contact{});
    auto path = dir / (std::string(Name(format)) + ".pst");
    s.Write(path);
    ASSERT_TRUE(testsupport::CheckPstFile(path).ok());

    auto store = ReadWithLibpff(path, psttest::ContactWanted());
    const PffFolder* f = store.root.Find("Top of Personal Folders")->Find("F");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->items.size(), 1u);
    EXPECT_EQ(f->items[0].text.at(0x001A), "IPM.Contact");

    int status = 0;
    std::string ls = psttest::Run("lspst " + ShellQuote(path.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << ls;
    // Nothing to file it under, so the line holds just the item type.
    EXPECT_EQ(psttest::CountLines(ls, "Contact"), 1u) << ls;

    auto out = dir / Name(format);
    std::filesystem::create_directory(out);
    std::string log = psttest::Run("readpst -r -t c -cv -o " + ShellQuote(out.string()) + " " +
                                       ShellQuote(path.string()) + " 2>&1",
                                   &status);
    ASSERT_EQ(status, 0) << log;
    EXPECT_NE(log.find("1 items done, 0 items skipped"), std::string::npos) << log;
    auto vcards = out / "Windows Address Book Contacts" / "F" / "contacts";
    ASSERT_TRUE(std::filesystem::exists(vcards)) << log;
    EXPECT_EQ(psttest::CountLines(testsupport::ReadFile(vcards), "BEGIN:VCARD"), 1u);
  }
}

TEST(PstReadersText, PffexportExportsTheContacts) {
  testsupport::TempDir dir;
  auto path = dir / "x.pst";
  const std::string folder = psttest::WriteContactsFile(path, Format::Unicode, 3);
  int status = 0;
  std::string log = psttest::Run("cd " + ShellQuote(dir.path().string()) + " && pffexport -q -t out x.pst 2>&1", &status);
  ASSERT_EQ(status, 0) << log;
  auto c = dir / "out.export" / "Top of Personal Folders" / folder / "Contact00003" / "Contact.txt";
  ASSERT_TRUE(std::filesystem::exists(c)) << log;
  std::string text = testsupport::ReadFile(c);
  EXPECT_NE(text.find("Family2, Given2 M"), std::string::npos) << text;
  EXPECT_NE(text.find("person2@example.com"), std::string::npos) << text;
}

}  // namespace

// The writer's output for a fixed store (no clock, no randomness), pinned by
// size and checksum in both formats, so that work on the writer's speed
// cannot change a byte unnoticed. The pinned values were taken from the
// writer as it stood before that work. A deliberate change to the file
// layout changes them too: check the new output with the readers first.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/pst/Crc.h"
#include "platform/pst/PackedContacts.h"
#include "platform/pst/StoreFile.h"
#include "support/TestData.h"

namespace {

using namespace pst::detail;

// Writes a fixed store and returns its bytes: contacts of many shapes (empty
// fields, long notes in subnodes, text beyond ASCII) and an empty folder.
// Packed, the contacts folder holds them as the store keeps them; ahead, the
// items are made on a second thread; longSubjects gives some contacts a
// subject too long for the contents table's heap, among notes in subnodes.
std::string FixedStoreBytes(const std::filesystem::path& path, bool unicode, int codePage, bool packed = false,
                            bool ahead = true, bool longSubjects = false) {
  using namespace pst::detail;
  std::vector<pst::Contact> contacts;
  for (int i = 0; i < 120; ++i) {
    const std::string n = std::to_string(i);
    pst::Contact c;
    c.FirstName = i % 6 ? "Given" + n : "";
    c.MiddleName = i % 3 ? "" : "M";
    c.LastName = i % 7 ? "Family" + n : "";
    c.CompanyName = i % 5 ? "Company " + n : "";
    c.BusinessTelephoneNumber = "+1 555 100 " + n;
    c.HomeFaxNumber = i % 4 ? "" : "+1 555 400 " + n;
    if (i % 2) {
      c.BusinessAddressStreet = n + " Work Street";
      c.BusinessAddressCity = "Worktown";
      c.BusinessAddressPostalCode = "W" + n;
    }
    c.HomeAddressStreet = i % 3 ? n + " Home Road" : "";
    c.HomeAddressCountry = "Homeland";
    c.Email1Address = i % 9 ? "person" + n + "@example.com" : "";
    c.WebPage = i % 2 ? "http://example.com/" + n : "";
    c.Body = i % 10 ? "Notes " + n : std::string(3600 + 500 * i, static_cast<char>('a' + i % 26));
    if (longSubjects && i % 25 == 3) c.FirstName = std::string(3590 + i, 'N');
    contacts.push_back(c);
  }
  pst::Contact c;
  contacts.push_back(c);  // nothing set
  c.FirstName = "J\xC3\xBCrgen";
  c.LastName = "M\xC3\xBCller";
  c.HomeAddressStreet = "Stra\xC3\x9F" "e 1";
  c.Body = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
  contacts.push_back(c);
  const std::vector<pst::Contact> none;
  PackedContacts packedContacts;
  for (const auto& c : contacts) packedContacts.Add(c);

  std::map<int, FolderModel> f;
  auto folder = [&](int id, FolderModel::Kind kind, std::string name, std::string cls, ContactsView items) {
    f[id].kind = kind;
    f[id].name = std::move(name);
    f[id].containerClass = std::move(cls);
    f[id].contacts = items;
  };
  folder(1, FolderModel::Kind::Root, "", "", &none);
  folder(2, FolderModel::Kind::IpmSubtree, "Top of Personal Folders", "", &none);
  folder(3, FolderModel::Kind::SearchRoot, "Search Root", "", &none);
  folder(4, FolderModel::Kind::DeletedItems, "Deleted Items", "", &none);
  folder(5, FolderModel::Kind::User, "Contacts", "IPF.Contact",
         packed ? ContactsView(&packedContacts) : ContactsView(&contacts));
  folder(6, FolderModel::Kind::User, "Empty", "IPF.Note", &none);
  f[1].children = {&f[2], &f[3]};
  f[2].children = {&f[4], &f[5]};
  f[5].children = {&f[6]};
  StoreModel model;
  model.displayName = "Fixed";
  for (int i = 0; i < 16; ++i) model.recordKey.push_back(static_cast<std::uint8_t>(3 * i + 1));
  model.root = &f[1];
  model.now = 0x01DCC0FFEE123456ull;
  model.workAhead = ahead;
  const LtpFormat fmt = FileFormat(unicode, codePage);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return {};
  {
    FileSink sink(file, path.string());
    std::mt19937_64 rng(7);
    SerializeStore(model, fmt, sink, rng);
  }
  std::fclose(file);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Pinned {
  bool unicode;
  int codePage;
  std::size_t size;
  std::uint32_t crc;
  bool longSubjects = false;
};

TEST(PstFixedBytes, OutputIsExactlyAsPinned) {
  testsupport::TempDir dir;
  const Pinned cases[] = {
      {false, 1252, 779264, 0x5B03FF11},
      {true, 1252, 1033216, 0x929FABDB},
      {false, 1251, 779264, 0xC00C8EAD},
      {false, 1252, 779264, 0xA5DF3394, true},
      {true, 1252, 1541120, 0xD0F431CB, true},
  };
  for (const Pinned& p : cases) {
    for (bool packed : {false, true}) {
      for (bool ahead : {false, true}) {
        SCOPED_TRACE(std::string(p.unicode ? "Unicode" : "ANSI ") + std::to_string(p.codePage) +
                     (packed ? ", contacts packed" : "") + (ahead ? ", made ahead" : "") +
                     (p.longSubjects ? ", long subjects" : ""));
        const std::string bytes =
            FixedStoreBytes(dir / "fixed.pst", p.unicode, p.codePage, packed, ahead, p.longSubjects);
        EXPECT_EQ(bytes.size(), p.size);
        EXPECT_EQ(Crc(bytes.data(), bytes.size()), p.crc);
      }
    }
  }
}

}  // namespace

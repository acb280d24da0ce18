// Writes fixed stores (no clock, no randomness) in both formats, so that a
// change meant only to speed the writer up can be checked byte for byte:
//   pst_golden <directory>     writes golden_*.pst there; compare with cmp.
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "GeneratedContact.h"
#include "platform/pst/StoreFile.h"

namespace {

using namespace pst::detail;

std::vector<pst::Contact> Odd() {
  std::vector<pst::Contact> v;
  v.emplace_back();  // nothing set at all
  pst::Contact c;
  c.CompanyName = "Only a company";
  v.push_back(c);
  c = {};
  c.Email1Address = "only@example.com";
  v.push_back(c);
  c = {};
  c.FirstName = "Jürgen";
  c.LastName = "Müller-Lüdenscheidt";
  c.HomeAddressStreet = "Straße 1";
  c.HomeAddressCountry = "Österreich";
  c.Body = "Grüße € ✓";
  v.push_back(c);
  for (std::size_t len : {3000u, 3581u, 8200u, 20000u, 100000u}) {
    c = {};
    c.LastName = "Long " + std::to_string(len);
    c.Body.assign(len, 'x');
    for (std::size_t k = 0; k < len; k += 97) c.Body[k] = static_cast<char>('a' + k % 26);
    v.push_back(c);
  }
  return v;
}

void WriteOne(const std::filesystem::path& path, bool unicode, int codePage,
              const std::vector<pst::Contact>& bulk, const std::vector<pst::Contact>& odd) {
  const std::vector<pst::Contact> none;
  std::map<int, FolderModel> f;
  auto folder = [&](int id, FolderModel::Kind kind, std::string name, std::string cls,
                    const std::vector<pst::Contact>* contacts) {
    FolderModel& m = f[id];
    m.kind = kind;
    m.name = std::move(name);
    m.containerClass = std::move(cls);
    m.contacts = contacts;
  };
  folder(1, FolderModel::Kind::Root, "", "", &none);
  folder(2, FolderModel::Kind::IpmSubtree, "Top of Personal Folders", "", &none);
  folder(3, FolderModel::Kind::SearchRoot, "Search Root", "", &none);
  folder(4, FolderModel::Kind::DeletedItems, "Deleted Items", "", &none);
  folder(5, FolderModel::Kind::User, "WAB Contacts 06-12-2026 03:29:10", "IPF.Contact", &bulk);
  folder(6, FolderModel::Kind::User, "Odd ones", "IPF.Contact", &odd);
  folder(7, FolderModel::Kind::User, "Empty", "IPF.Note", &none);
  f[1].children = {&f[2], &f[3]};
  f[2].children = {&f[4], &f[5], &f[7]};
  f[5].children = {&f[6]};

  StoreModel model;
  model.displayName = "Windows Address Book Contacts";
  for (int i = 0; i < 16; ++i) model.recordKey.push_back(static_cast<std::uint8_t>(0x10 + 7 * i));
  model.root = &f[1];
  model.now = 0x01DCC0FFEE123456ull;

  const LtpFormat fmt = FileFormat(unicode, codePage);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path.string());
  FileSink sink(file, path.string());
  std::mt19937_64 rng(12345);
  SerializeStore(model, fmt, sink, rng);
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pst_golden <directory>\n");
    return 1;
  }
  const std::filesystem::path dir = argv[1];
  // As many items as an ANSI folder holds, so that the files pass the size
  // where the free-map pages start; smaller ones for the other code pages.
  std::vector<pst::Contact> bulk, some;
  for (int i = 0; i < 32766; ++i) bulk.push_back(GeneratedContact(i, true));
  some.assign(bulk.begin(), bulk.begin() + 3000);
  const std::vector<pst::Contact> odd = Odd();
  WriteOne(dir / "golden_unicode.pst", true, 1252, bulk, odd);
  WriteOne(dir / "golden_ansi1252.pst", false, 1252, bulk, odd);
  WriteOne(dir / "golden_ansi1251.pst", false, 1251, some, odd);
  WriteOne(dir / "golden_ansi437.pst", false, 437, some, odd);
  return 0;
}

// The Outlook export through the real stand-in and the real .pst engine,
// read back by libpff (in process and pffinfo) and libpst (lspst, readpst).
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "LibpffReadBack.h"
#include "export/OutlookExport.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/outlook/OutlookStandIn.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace exports {
inline void PrintTo(OutlookFormat f, std::ostream* os) { *os << (f == OutlookFormat::Ansi ? "Ansi" : "Unicode"); }
}  // namespace exports

namespace {

using exports::OutlookFormat;
using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::TempDir;

// Contact i's value for a reader key: unique, so every property is traceable.
// Contact 1 is empty throughout; comments carry letters beyond ASCII.
std::string Value(int i, const std::string& key, bool unicode) {
  if (i == 1) return {};
  std::string v = key + "-" + std::to_string(i);
  if (key == "Comment") v += unicode ? " \xc3\xa9t\xc3\xa9 \xd0\x9f\xd1\x80\xd0\xb8" : " \xc3\xa9t\xc3\xa9";
  return v;
}

class BookReader final : public automation::AddressBookReader {
 public:
  BookReader(int count, bool unicode) : count_(count), unicode_(unicode) {}
  void Open(const std::string&) override {}
  std::int32_t GetCount() override { return count_; }
  void Select(std::int32_t index) override { selected_ = index; }
  std::string GetValue(const std::string& key) override { return Value(selected_, key, unicode_); }

 private:
  int count_;
  bool unicode_;
  int selected_ = 0;
};

class EndToEndTest : public ::testing::TestWithParam<OutlookFormat> {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    setenv("LC_ALL", "C", 1);  // ANSI stores in code page 1252
  }
  void TearDown() override { unsetenv("LC_ALL"); }

  bool Unicode() const { return GetParam() == OutlookFormat::Unicode; }

  exports::OutlookExportResult Export(int contacts, std::chrono::system_clock::time_point when) {
    automation::ScopedRegistration reader(automation::kAddressBookReaderProgId, [contacts, u = Unicode()] {
      return std::static_pointer_cast<automation::Object>(std::make_shared<BookReader>(contacts, u));
    });
    exports::OutlookExportRequest request;
    request.bookPath = "/home/ann/Mail/Family.WAB";
    request.outputFolder = out.path().string();
    request.format = GetParam();
    request.now = [when] { return when; };
    return exports::RunOutlookExport(request);
  }

  TempDir config, out;
  automation::ScopedRegistration outlook_{automation::outlook::kOutlookProgId,
                                          [] { return std::static_pointer_cast<automation::Object>(
                                                   outlook::NewApplication()); }};
};

TEST_P(EndToEndTest, EveryContactWithEveryPropertyReadsBackInBothReaders) {
  const int n = 5;
  const auto result = Export(n, std::chrono::system_clock::now());
  ASSERT_TRUE(result.completed) << result.cause;
  EXPECT_EQ(result.saved, n);
  const std::filesystem::path pst = result.pstPath;
  ASSERT_TRUE(std::filesystem::exists(pst));
  EXPECT_TRUE(std::regex_match(pst.filename().string(),
                               std::regex(R"(family-\d\d-\d\d-\d{4}-\d\d-\d\d-\d\d\.pst)")));

  const auto check = testsupport::CheckPstFile(pst);
  EXPECT_TRUE(check.ok()) << check.Report();
  EXPECT_EQ(check.unicode, Unicode());

  // libpff, in process.
  const auto content = readback::ReadWithLibpff(pst);
  EXPECT_EQ(content.storeName, "Windows Address Book Contacts");
  const std::regex folderName(R"(/Top of Personal Folders/WAB Contacts \d\d-\d\d-\d{4} \d\d:\d\d:\d\d)");
  const readback::FolderContent* folder = nullptr;
  for (const auto& f : content.folders) {
    if (std::regex_match(f.path, folderName)) {
      EXPECT_EQ(folder, nullptr) << "two contacts folders";
      folder = &f;
    }
  }
  ASSERT_NE(folder, nullptr);
  ASSERT_EQ(folder->items.size(), static_cast<std::size_t>(n));
  int found = 0;
  for (int i = 0; i < n; ++i) {
    if (i == 1) continue;
    const std::string first = Value(i, "Name", Unicode());
    for (const auto& item : folder->items) {
      auto it = item.find("0x3a06");
      if (it == item.end() || it->second != first) continue;
      ++found;
      for (const auto& w : readback::ContactPropertyPlaces()) {
        const std::string want = Value(i, w.readerKey, Unicode());
        EXPECT_TRUE(readback::HasProperty(item, w, want))
            << w.property << " of contact " << i << " should be \"" << want << "\"";
      }
    }
  }
  EXPECT_EQ(found, n - 1);

  // pffinfo: the format the option promises.
  std::string text;
  ASSERT_EQ(RunCommand("pffinfo " + ShellQuote(pst.string()), &text), 0);
  EXPECT_NE(text.find(Unicode() ? "64-bit" : "32-bit"), std::string::npos) << text;

  // libpst: lspst lists the folder and one line per contact.
  ASSERT_EQ(RunCommand("lspst " + ShellQuote(pst.string()), &text), 0);
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(Folder "WAB Contacts \d\d-\d\d-\d{4} \d\d:\d\d:\d\d")")))
      << text;
  // Contact 1 has no field at all: its line is a bare "Contact", but it is listed.
  std::size_t lines = 0;
  std::istringstream listing(text);
  for (std::string line; std::getline(listing, line);)
    if (line == "Contact" || line.rfind("Contact\t", 0) == 0) ++lines;
  EXPECT_EQ(lines, static_cast<std::size_t>(n)) << text;

  // readpst: the vCards carry the fields in their places.
  TempDir cards;
  ASSERT_EQ(RunCommand("readpst -q -cv -8 -C windows-1252 -o " + ShellQuote(cards.path().string()) + " " +
                       ShellQuote(pst.string())),
            0);
  std::string vcards;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cards.path()))
    if (entry.is_regular_file()) vcards += testsupport::ReadFile(entry.path());
  std::size_t count = 0;
  for (std::size_t at = 0; (at = vcards.find("BEGIN:VCARD", at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(count, static_cast<std::size_t>(n));
  for (const char* line : {"N:Surname-3;Name-3;MiddleName-3;;", "ORG:CompanyName-3", "EMAIL:HomeEmail-3",
                           "TEL;TYPE=cell,voice:CellPhone-3", "TEL;TYPE=work,voice:BusinessPhone-3",
                           "TEL;TYPE=work,fax:BusinessFax-3", "TEL;TYPE=home,voice:HomePhone-3",
                           "TEL;TYPE=home,fax:Fax-3", "ADR;TYPE=home:;;HomeAddress-3;;;;HomeCountry-3",
                           "ADR;TYPE=work:;;BusinessAddress-3;City-3;Province-3;Postal-3;Country-3"})
    EXPECT_NE(vcards.find(line), std::string::npos) << line;
  EXPECT_NE(vcards.find("NOTE:" + Value(3, "Comment", Unicode())), std::string::npos) << vcards;
}

TEST_P(EndToEndTest, ExportsInTheSameOrTheNextSecondEachMakeAStore) {
  const auto t = std::chrono::system_clock::now();
  const auto first = Export(2, t);
  const auto second = Export(3, t + std::chrono::seconds(1));
  ASSERT_TRUE(first.completed) << first.cause;
  ASSERT_TRUE(second.completed) << second.cause;
  EXPECT_NE(first.pstPath, second.pstPath);
  EXPECT_EQ(readback::ReadWithLibpff(first.pstPath).storeName, "Windows Address Book Contacts");
  EXPECT_EQ(readback::ReadWithLibpff(second.pstPath).storeName, "Windows Address Book Contacts");

  const auto profile = outlook::ReadProfile();
  ASSERT_EQ(profile.size(), 2u);
  EXPECT_EQ(profile[0].path, std::filesystem::path(first.pstPath));
  EXPECT_EQ(profile[1].path, std::filesystem::path(second.pstPath));
  for (const auto& s : profile) {
    EXPECT_EQ(s.displayName, "Windows Address Book Contacts");
    EXPECT_EQ(s.format, Unicode() ? outlook::StoreFormat::Unicode : outlook::StoreFormat::Ansi);
  }

  // The same second again gets a free name of its own ("-2"), and the
  // earlier file is left alone.
  const auto size = std::filesystem::file_size(second.pstPath);
  const auto again = Export(1, t + std::chrono::seconds(1));
  ASSERT_TRUE(again.completed) << again.cause;
  EXPECT_EQ(again.pstPath, second.pstPath.substr(0, second.pstPath.size() - 4) + "-2.pst");
  EXPECT_EQ(readback::ReadWithLibpff(again.pstPath).storeName, "Windows Address Book Contacts");
  EXPECT_EQ(std::filesystem::file_size(second.pstPath), size);
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEndTest,
                         ::testing::Values(OutlookFormat::Ansi, OutlookFormat::Unicode),
                         [](const auto& info) {
                           return info.param == OutlookFormat::Ansi ? "Ansi" : "Unicode";
                         });

}  // namespace

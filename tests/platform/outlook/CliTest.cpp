// addrivo-convert pst-ansi | pst-unicode on generated and real address books,
// the files read back with libpff.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "LibpffReadBack.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/codepage/CodePage.h"
#include "support/PstChecker.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::TempDir;

struct Outcome {
  int status;
  std::string out, err;
};

class PstVerbTest : public ::testing::Test {
 protected:
  Outcome Convert(const std::string& args, const std::string& locale = "C") {
    const auto errFile = work / "stderr.txt";
    Outcome r;
    r.status = RunCommand("env XDG_CONFIG_HOME=" + ShellQuote(config.path().string()) + " LC_ALL=" + locale +
                              " " ADDRIVO_BINARY_DIR "/bin/addrivo-convert " + args + " 2>" +
                              ShellQuote(errFile.string()),
                          &r.out);
    r.err = testsupport::ReadFile(errFile);
    return r;
  }

  // The one contacts folder of the file, checked for its name.
  static const readback::FolderContent& ContactsFolder(const readback::PstContent& content) {
    static const std::regex name(R"(/Top of Personal Folders/WAB Contacts \d\d-\d\d-\d{4} \d\d:\d\d:\d\d)");
    const readback::FolderContent* found = nullptr;
    for (const auto& f : content.folders)
      if (std::regex_match(f.path, name)) found = &f;
    if (!found) throw std::runtime_error("no contacts folder");
    return *found;
  }

  TempDir work, config;
};

TEST_F(PstVerbTest, GeneratedBookInBothFormats) {
  const int n = 60;
  const auto book = work / "Generated.wab";
  testsupport::WriteGeneratedBook(book, n);
  for (const std::string verb : {"pst-ansi", "pst-unicode"}) {
    SCOPED_TRACE(verb);
    const auto out = work / verb;
    std::filesystem::create_directory(out);
    const Outcome r = Convert(verb + " " + ShellQuote(book.string()) + " " + ShellQuote(out.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m, std::regex(std::to_string(n) +
                                                      " Contacts Successfully Saved to Outlook\nFileName: (.*/"
                                                      "generated-\\d\\d-\\d\\d-\\d{4}-\\d\\d-\\d\\d-\\d\\d\\.pst)\n"
                                                      "1 Groups Saved as Distribution Lists\n" +
                                                      // The generated names go beyond code page 1252.
                                                      (verb == "pst-ansi" ? "\\d+ values had characters that code "
                                                                            "page 1252 cannot hold.*\n"
                                                                          : ""))))
        << r.out;
    const std::filesystem::path pst = m[1].str();
    ASSERT_TRUE(std::filesystem::exists(pst));

    const auto check = testsupport::CheckPstFile(pst);
    EXPECT_TRUE(check.ok()) << check.Report();
    EXPECT_EQ(check.unicode, verb == "pst-unicode");

    const auto content = readback::ReadWithLibpff(pst);
    EXPECT_EQ(content.storeName, "Windows Address Book Contacts");
    const auto& folder = ContactsFolder(content);
    // The book's one group is a list after the contacts.
    ASSERT_EQ(folder.items.size(), static_cast<std::size_t>(n) + 1);
    EXPECT_EQ(folder.items[n].at("0x001a"), "IPM.DistList");
    // Items keep the order they were saved in.
    for (int i = 0; i < n; ++i) {
      const auto values = testsupport::GeneratedContactValues(i);
      for (const auto& w : readback::ContactPropertyPlaces()) {
        // Generated books hold no home country: the one key beyond the reader's 20.
        std::string want;
        for (std::size_t k = 0; k < automation::kReaderFieldKeys.size(); ++k)
          if (automation::kReaderFieldKeys[k] == w.readerKey) want = values[k];
        if (verb == "pst-ansi") want = codepage::ToUtf8(codepage::FromUtf8(want, 1252).bytes, 1252);
        EXPECT_TRUE(readback::HasProperty(folder.items[i], w, want))
            << w.property << " of contact " << i << " should be \"" << want << "\"";
      }
    }
  }
  const std::string profile = testsupport::ReadFile(config / "addrivo/outlook-profile");
  EXPECT_TRUE(std::regex_search(profile, std::regex("\nansi\tWindows Address Book Contacts\t[^\n]*/pst-ansi/generated-")))
      << profile;
  EXPECT_TRUE(std::regex_search(profile, std::regex("\nunicode\tWindows Address Book Contacts\t[^\n]*/pst-unicode/")))
      << profile;
}

// The whole real book: every property of its main contact, both groups as
// lists whose members are the exported contacts, and its folder tree; ANSI
// in code page 932, which holds every character of this book.
TEST_F(PstVerbTest, RealBookInBothFormats) {
  const auto book = testsupport::TestDataPath("wab/HiraokaTaro.WAB");
  const std::string main = "\xe3\x83\xa1\xe3\x82\xa4\xe3\x83\xb3 \xe3\x83\xa6\xe3\x83\xbc\xe3\x82\xb6\xe3\x83\xbc "
                           "\xe3\x81\xae\xe9\x80\xa3\xe7\xb5\xa1\xe5\x85\x88";  // メイン ユーザー の連絡先
  const std::string folder1 = "\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80\xe2\x91\xa0";  // フォルダ①
  for (const std::string verb : {"pst-ansi", "pst-unicode"}) {
    SCOPED_TRACE(verb);
    const bool ansi = verb == "pst-ansi";
    const auto out = work / verb;
    std::filesystem::create_directory(out);
    const Outcome r = Convert(verb + " " + ShellQuote(book.string()) + " " + ShellQuote(out.string()),
                              ansi ? "ja_JP.UTF-8" : "C");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("4 Contacts Successfully Saved to Outlook\nFileName: " + out.string() + "/hiraokataro-", 0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\n2 Groups Saved as Distribution Lists\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n1 e-mail address beyond the third"), std::string::npos) << r.out;
    // Like every loss line, on standard error too, where scripts look.
    EXPECT_NE(r.err.find("addrivo-convert: 1 e-mail address beyond the third"), std::string::npos) << r.err;
    std::filesystem::path pst;
    for (const auto& e : std::filesystem::directory_iterator(out)) pst = e.path();
    const auto check = testsupport::CheckPstFile(pst);
    EXPECT_TRUE(check.ok()) << check.Report();

    const auto content = readback::ReadWithLibpff(pst, ansi ? 932 : 1252);
    // The book's one top-level folder is the export's folder itself.
    const std::string top = ContactsFolder(content).path;
    EXPECT_EQ(content.Find(top + "/" + main), nullptr);
    const auto* mainFolder = content.Find(top);
    ASSERT_NE(mainFolder, nullptr);
    for (const std::string& sub : {folder1, std::string("\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80\xe2\x91\xa1"),
                                  std::string("\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80\xe2\x91\xa2")}) {
      const auto* f = content.Find(top + "/" + sub);
      ASSERT_NE(f, nullptr) << sub;
      EXPECT_FALSE(f->items.empty()) << sub;
    }

    // The main contact, property by property (named ones resolved through the map).
    const readback::Properties* taro = nullptr;
    const readback::Properties* list123 = nullptr;
    for (const auto& item : mainFolder->items) {
      if (item.count("0x3a06") && item.at("0x3a06") == "\xe5\xa4\xaa\xe9\x83\x8e") taro = &item;  // 太郎
      if (item.count("0x001a") && item.at("0x001a") == "IPM.DistList") list123 = &item;
    }
    ASSERT_NE(taro, nullptr);
    const std::vector<std::pair<std::string, std::string>> expected{
        // The book's display name, family name first, not one rebuilt from the parts.
        {"0x3001", "\xe6\x9e\x9a\xe5\xb2\xa1 \xe5\xa4\xaa\xe9\x83\x8e"},  // 枚岡 太郎
        {"0x0037", "\xe6\x9e\x9a\xe5\xb2\xa1 \xe5\xa4\xaa\xe9\x83\x8e"},
        {"lid:0x8080", "\xe6\x9e\x9a\xe5\xb2\xa1 \xe5\xa4\xaa\xe9\x83\x8e (test@example.com)"},
        {"0x3a11", "\xe6\x9e\x9a\xe5\xb2\xa1"},  // 枚岡
        {"0x3a45", "\xe3\x81\x95\xe3\x82\x93"},  // さん
        {"0x3a4f", "\xe3\x81\xb2\xe3\x82\x89\xe3\x81\x8a\xe3\x81\x8b\xe3\x81\x95\xe3\x82\x93"},
        {"lid:0x802c", "\xe3\x81\x9f\xe3\x82\x8d\xe3\x81\x86"},
        {"lid:0x802d", "\xe3\x81\xb2\xe3\x82\x89\xe3\x81\x8a\xe3\x81\x8b"},
        {"lid:0x8083", "test@example.com"},
        {"lid:0x8093", "test@example.org"},
        {"lid:0x80a3", "test@example.net"},
        {"lid:0x8082", "SMTP"},
        {"lid:0x8062", "im@example.org"},
        {"0x3a1c", "PHONE"},
        {"0x3a09", "TEL"},
        {"0x3a25", "FAX"},
        {"0x3a50", "http://example.com"},
        {"lid:0x802b", "http://example.org/corp"},
        {"0x3a21", "\xe5\x8b\xa4\xe5\x8b\x99\xef\xbc\x9aphone"},
        {"0x3a1f", "\xe5\x8b\xa4\xe5\x8b\x99\xef\xbc\x9aIPphone"},
        {"0x3a18", "\xe5\x8b\xa4\xe5\x8b\x99\xef\xbc\x9a\xe9\x83\xa8\xe7\xbd\xb2"},
        {"0x3a17", "\xe5\x8b\xa4\xe5\x8b\x99\xef\xbc\x9a\xe5\xbd\xb9\xe8\x81\xb7"},
        {"0x3a5a", "\xe5\x9b\xbd"},
        {"0x3a59", "\xe5\xb8\x82\xe5\x8c\xba\xe7\x94\xba\xe6\x9d\x91"},
        {"0x3a48", "\xe9\x85\x8d\xe5\x81\xb6\xe8\x80\x85"},
        {"0x3a4d", "x:0100"},
        // 2014-09-29 and -30 at midnight UTC.
        {"0x3a42", "x:0000e54f78dbcf01"},
        {"0x3a41", "x:00c04e7a41dccf01"},
    };
    for (const auto& [key, value] : expected) {
      auto it = taro->find(key);
      ASSERT_NE(it, taro->end()) << key;
      EXPECT_EQ(it->second, value) << key;
    }
    EXPECT_EQ(readback::MultiValues(readback::Unhex(taro->at("0x3a58"))).size(), 5u);
    const std::string& notes = taro->at("0x1000");
    EXPECT_EQ(notes.substr(notes.size() - 24), "\r\nE-mail: im@example.org");

    // The lists: members resolve to the exported contacts; a contact's
    // groups are its categories.
    std::map<std::string, const readback::Properties*> byNid;
    std::map<std::string, std::string> givenByNid;
    for (const auto& f : content.folders)
      for (const auto& item : f.items) {
        byNid[item.at("nid")] = &item;
        if (item.count("0x3a06")) givenByNid[item.at("nid")] = item.at("0x3a06");
      }
    ASSERT_NE(list123, nullptr);
    auto memberNames = [&](const readback::Properties& list) {
      std::vector<std::string> names;
      for (const std::string& m : readback::MultiValues(readback::Unhex(list.at("lid:0x8055")))) {
        EXPECT_EQ(m.size(), 45u);
        EXPECT_EQ(static_cast<unsigned char>(m[20]), 0xC3u);
        std::uint32_t nid = 0;
        for (int k = 3; k >= 0; --k) nid = (nid << 8) | static_cast<unsigned char>(m[41 + k]);
        names.push_back(givenByNid[readback::Hex(nid)]);
      }
      return names;
    };
    // None of the members has an address: each is named in the notes, after
    // the group's own fields, and none is written as an empty address.
    EXPECT_EQ(list123->at("lid:0x8053"), "<\"123\">");
    EXPECT_TRUE(memberNames(*list123).empty());
    const std::string& body = list123->at("0x1000");
    EXPECT_EQ(body.rfind("Gr:memo\r\nmemo2\r\nmemo33\r\nHome street: Gr:banchi\r\nbanchi 2\r\nbanchi 3\r\n", 0), 0u) << body;
    for (const char* line : {"\r\nHome phone: Gr:tel\r\n", "\r\nPersonal web page: http://example.org/group/\r\n",
                             "\r\nMember without an e-mail address: Folder 3"})
      EXPECT_NE(body.find(line), std::string::npos) << line;
    EXPECT_NE(r.out.find("\n4 group members have no e-mail address"), std::string::npos) << r.out;
    const auto* gr1Folder = content.Find(top + "/" + folder1);
    const readback::Properties* gr1 = nullptr;
    for (const auto& item : gr1Folder->items)
      if (item.at("0x001a") == "IPM.DistList") gr1 = &item;
    ASSERT_NE(gr1, nullptr);
    EXPECT_EQ(gr1->at("0x3001"), "Gr1");
    EXPECT_TRUE(memberNames(*gr1).empty());
    EXPECT_EQ(gr1->at("0x1000"), "Member without an e-mail address: \xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80 \xe2\x91\xa0");
    for (const auto& item : gr1Folder->items) {
      if (item.at("0x001a") == "IPM.Contact") {
        EXPECT_EQ(readback::MultiValues(readback::Unhex(item.at("name:Keywords"))).size(), 2u);
      }
    }

    // libpst reads the contacts in their folders.
    TempDir cards;
    std::string text;
    ASSERT_EQ(RunCommand(std::string("readpst -q -r -cv -8 ") + (ansi ? "-C cp932 " : "") + "-o " +
                         ShellQuote(cards.path().string()) + " " + ShellQuote(pst.string())),
              0);
    std::string vcards;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cards.path()))
      if (entry.is_regular_file()) vcards += testsupport::ReadFile(entry.path());
    // (libpst leaves 8-bit text in the file's code page: only ASCII lines are compared.)
    for (const char* line : {"BDAY:2014-09-29T00:00:00Z", "TEL;TYPE=cell,voice:PHONE", "EMAIL:test@example.net"})
      EXPECT_NE(vcards.find(line), std::string::npos) << line << "\n" << vcards;
    if (!ansi) {
      EXPECT_NE(vcards.find("NICKNAME:\xe3\x81\xb2\xe3\x82\x89\xe3\x81\x8a\xe3\x81\x8b\xe3\x81\x95\xe3\x82\x93"),
                std::string::npos);
    }
    ASSERT_EQ(RunCommand("lspst " + ShellQuote(pst.string()), &text), 0);
    EXPECT_NE(text.find("Contact\t"), std::string::npos) << text;
  }
}

TEST_F(PstVerbTest, FailuresAndUsage) {
  Outcome r = Convert("pst-unicode " + ShellQuote((work / "missing.wab").string()) + " " + ShellQuote(work.path().string()));
  EXPECT_EQ(r.status, 1);
  // The book is read first: the message names it, and no store is made.
  EXPECT_NE(r.err.find("could not be read"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("missing.wab"), std::string::npos) << r.err;
  for (const auto& e : std::filesystem::directory_iterator(work.path())) EXPECT_NE(e.path().extension(), ".pst");
  EXPECT_TRUE(r.out.empty());

  r = Convert("pst-ansi " + ShellQuote((work / "x.wab").string()) + " " + ShellQuote((work / "nope").string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("nope"), std::string::npos);

  EXPECT_EQ(Convert("pst-ansi only-one").status, 2);
  EXPECT_EQ(Convert("pst-unicode a b c").status, 2);
}

}  // namespace

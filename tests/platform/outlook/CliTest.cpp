// addrivo-convert pst-ansi | pst-unicode on generated and real address books,
// the files read back with libpff.
#include <gtest/gtest.h>

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
  Outcome Convert(const std::string& args) {
    const auto errFile = work / "stderr.txt";
    Outcome r;
    r.status = RunCommand("env XDG_CONFIG_HOME=" + ShellQuote(config.path().string()) +
                              " LC_ALL=C " ADDRIVO_BINARY_DIR "/bin/addrivo-convert " + args + " 2>" +
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
                                                      "generated-\\d\\d-\\d\\d-\\d{4}-\\d\\d-\\d\\d-\\d\\d\\.pst)\n" +
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
    ASSERT_EQ(folder.items.size(), static_cast<std::size_t>(n));
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

TEST_F(PstVerbTest, RealBookInBothFormats) {
  const auto book = testsupport::TestDataPath("wab/HiraokaTaro.WAB");
  for (const std::string verb : {"pst-ansi", "pst-unicode"}) {
    SCOPED_TRACE(verb);
    const auto out = work / verb;
    std::filesystem::create_directory(out);
    const Outcome r = Convert(verb + " " + ShellQuote(book.string()) + " " + ShellQuote(out.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("4 Contacts Successfully Saved to Outlook\nFileName: " + out.string() + "/hiraokataro-", 0),
              0u)
        << r.out;
    std::filesystem::path pst;
    for (const auto& e : std::filesystem::directory_iterator(out)) pst = e.path();
    const auto check = testsupport::CheckPstFile(pst);
    EXPECT_TRUE(check.ok()) << check.Report();
    EXPECT_EQ(ContactsFolder(readback::ReadWithLibpff(pst)).items.size(), 4u);
    std::string text;
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

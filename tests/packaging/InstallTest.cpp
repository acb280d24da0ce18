// The program as a desktop installs it: `cmake --install` into a scratch
// prefix, then the installed programs run from there and every desktop file
// is read by the tool that desktops themselves use.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunCommand;
using testsupport::ShellQuote;

const std::string kAppId = ADDRIVO_APP_ID;

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string out;
    ASSERT_EQ(RunCommand(ShellQuote(ADDRIVO_CMAKE) + " --install " + ShellQuote(ADDRIVO_BINARY_DIR) + " --prefix " +
                             ShellQuote(prefix.path().string()) + " 2>&1",
                         &out),
              0)
        << out;
  }
  // Runs a command with the installed programs' folder first on PATH.
  int Run(const std::string& command, std::string* out) const {
    return RunCommand("PATH=" + ShellQuote((prefix / "bin").string()) + ":\"$PATH\" QT_QPA_PLATFORM=offscreen " +
                          command + " 2>&1",
                      out);
  }
  fs::path Share(const std::string& relative) const { return prefix / "share" / relative; }

  testsupport::TempDir prefix;
};

TEST_F(Installed, PutsEveryFileWhereADesktopLooks) {
  const std::string files[] = {
      "bin/addrivo",
      "bin/addrivo-convert",
      "share/addrivo/Help.chm",
      "share/applications/" + kAppId + ".desktop",
      "share/metainfo/" + kAppId + ".metainfo.xml",
      "share/mime/packages/" + kAppId + ".xml",
      "share/icons/hicolor/scalable/apps/addrivo.svg",
      "share/icons/hicolor/48x48/apps/addrivo.png",
      "share/icons/hicolor/256x256/apps/addrivo.png",
      "share/man/man1/addrivo.1.gz",
      "share/man/man1/addrivo-convert.1.gz",
      "share/doc/addrivo/copyright",
  };
  for (const auto& f : files) EXPECT_TRUE(fs::is_regular_file(prefix / f)) << f;
  EXPECT_FALSE(fs::exists(prefix / "bin/Help.chm")) << "the help file belongs in share/addrivo";
  // Each picture is as large as its folder says (PNG: width and height in IHDR).
  for (int size : {48, 256}) {
    const std::string png = testsupport::ReadFile(
        Share("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/addrivo.png"));
    ASSERT_GT(png.size(), 24u);
    auto be32 = [&](std::size_t at) {
      return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
             (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), size);
    EXPECT_EQ(be32(20), size);
  }
  const std::string svg = testsupport::ReadFile(Share("icons/hicolor/scalable/apps/addrivo.svg"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("<path"), std::string::npos) << "drawn, not an embedded picture";
}

TEST_F(Installed, ConverterConvertsAGeneratedBookAndTheProgramFindsItsHelpFile) {
  testsupport::TempDir work;
  testsupport::WriteGeneratedBook(work / "friends.wab", 5);
  std::string out;
  ASSERT_EQ(Run("addrivo-convert xls " + ShellQuote((work / "friends.wab").string()) + " " +
                    ShellQuote(work.path().string()),
                &out),
            0)
      << out;
  // Followed by what the workbook's columns leave out of the generated book.
  EXPECT_NE(out.find("5 Contacts Successfully Saved to \nFileName: " + (work / "friends.xls").string() + "\n"),
            std::string::npos)
      << out;
  ASSERT_EQ(Run("addrivo-convert list " + ShellQuote((work / "friends.wab").string()), &out), 0) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5);

  ASSERT_EQ(Run("addrivo --help", &out), 0) << out;
  EXPECT_NE(out.find("Help file: " + (prefix / "share/addrivo/Help.chm").string() + "\n"), std::string::npos)
      << out;
  ASSERT_EQ(Run("addrivo --version", &out), 0) << out;
  EXPECT_EQ(out, "addrivo " ADDRIVO_VERSION "\n");
  EXPECT_EQ(Run("addrivo one.wab two.wab", &out), 2) << out;
  EXPECT_EQ(Run("addrivo --no-such-option", &out), 2) << out;
}

struct Validator {
  const char* name;
  std::string command;  // %s: the installed file
  std::string file;
};

void PrintTo(const Validator& v, std::ostream* os) { *os << v.name; }

class Validated : public Installed, public ::testing::WithParamInterface<Validator> {};

TEST_P(Validated, ByTheDesktopsOwnTool) {
  const Validator& v = GetParam();
  const std::string path = Share(v.file).string();
  const std::string command = std::regex_replace(v.command, std::regex("%s"), ShellQuote(path));
  std::string out;
  EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
  EXPECT_EQ(out.find("arning"), std::string::npos) << command << "\n" << out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Validated,
    ::testing::Values(
        Validator{"DesktopEntry", "desktop-file-validate %s", "applications/" + kAppId + ".desktop"},
        Validator{"Metainfo", "appstreamcli validate --no-net --pedantic %s", "metainfo/" + kAppId + ".metainfo.xml"},
        Validator{"MimeEntry", "xmllint --noout %s", "mime/packages/" + kAppId + ".xml"},
        Validator{"ConverterManPage", "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l %s >/dev/null",
                  "man/man1/addrivo-convert.1.gz"},
        Validator{"ScalableIcon", "gdk-pixbuf-thumbnailer -s 48 %s /dev/null", "icons/hicolor/scalable/apps/addrivo.svg"},
        Validator{"ProgramManPage", "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l %s >/dev/null",
                  "man/man1/addrivo.1.gz"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Installed, FileManagersTakeEveryCaseOfDotWabAndTheSignatureForAnAddressBook) {
  // The database a desktop builds from the installed entry.
  testsupport::TempDir data;
  fs::create_directories(data / "mime/packages");
  fs::copy_file(Share("mime/packages/" + kAppId + ".xml"), data / "mime/packages" / (kAppId + ".xml"));
  std::string out;
  ASSERT_EQ(RunCommand("XDG_DATA_DIRS=" + ShellQuote(data.path().string()) + ":/usr/share update-mime-database " +
                           ShellQuote((data / "mime").string()) + " 2>&1",
                       &out),
            0)
      << out;
  EXPECT_EQ(out, "") << "every element and attribute known";
  const std::string globs = testsupport::ReadFile(data / "mime/globs2");
  EXPECT_TRUE(std::regex_search(globs, std::regex("\n[0-9]+:application/x-wab:\\*\\.wab\n"))) << globs;
  EXPECT_EQ(globs.find(":cs"), std::string::npos) << "case-sensitive glob: " << globs;

  // A generated book under a name with no extension is known by its first bytes.
  testsupport::TempDir work;
  testsupport::WriteGeneratedBook(work / "book", 1);
  ASSERT_EQ(RunCommand("XDG_DATA_HOME=" + ShellQuote(data.path().string()) + " XDG_DATA_DIRS=/usr/share gio info -a " +
                           "standard::content-type " + ShellQuote((work / "book").string()) + " 2>&1",
                       &out),
            0)
      << out;
  EXPECT_NE(out.find("standard::content-type: application/x-wab"), std::string::npos) << out;
}

TEST_F(Installed, ConvertersManPageNamesEveryVerbItsHelpLists) {
  std::string help, page;
  ASSERT_EQ(Run("addrivo-convert --help", &help), 0) << help;
  ASSERT_EQ(RunCommand("gzip -dc " + ShellQuote(Share("man/man1/addrivo-convert.1.gz").string()), &page), 0);
  std::set<std::string> verbs;
  const std::regex verbLine("\n  ([a-z][a-z0-9-]*) ");
  for (std::sregex_iterator it(help.begin(), help.end(), verbLine), end; it != end; ++it) verbs.insert((*it)[1]);
  ASSERT_GE(verbs.size(), 4u) << help;
  for (const auto& verb : verbs) {
    // Written as .B verb or .TP .B verb, hyphens escaped for groff.
    const std::string inPage = std::regex_replace(verb, std::regex("-"), "\\-");
    EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.B " + std::regex_replace(inPage, std::regex(R"(\\)"), R"(\\)") +
                                                    "\\b")))
        << "addrivo-convert.1 has no entry for the verb " << verb;
  }
}

// The Windows build cannot run Qt to draw its icon: it takes the copy kept
// in packaging/windows, which must stay the program's drawing.
TEST(WindowsIcon, KeptCopyIsTheDrawingOfThisBuild) {
  const std::string drawn = testsupport::ReadFile(fs::path(ADDRIVO_BINARY_DIR) / "packaging/icons/windows/addrivo.ico");
  ASSERT_GT(drawn.size(), 6u);
  EXPECT_EQ(drawn.substr(0, 6), std::string("\0\0\1\0\4\0", 6)) << "an icon of four sizes";
  EXPECT_TRUE(drawn == testsupport::ReadFile(fs::path(ADDRIVO_SOURCE_DIR) / "packaging/windows/addrivo.ico"))
      << "copy " << ADDRIVO_BINARY_DIR << "/packaging/icons/windows/addrivo.ico to packaging/windows/";
}

}  // namespace

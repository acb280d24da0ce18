// The Debian package as a user gets it: built by CPack, read by lintian,
// unpacked with dpkg -x and run from there.
#include <gtest/gtest.h>

#include <regex>

#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunCommand;
using testsupport::ShellQuote;

TEST(DebPackage, BuildsCleanUnderLintianAndRunsWhereverItIsUnpacked) {
  testsupport::TempDir work;
  std::string out;
  ASSERT_EQ(RunCommand("cd " + ShellQuote(ADDRIVO_BINARY_DIR) + " && " + ShellQuote(ADDRIVO_CPACK) +
                           " -G DEB -B " + ShellQuote(work.path().string()) + " 2>&1",
                       &out),
            0)
      << out;
  fs::path deb;
  for (const auto& e : fs::directory_iterator(work.path()))
    if (e.path().extension() == ".deb") deb = e.path();
  ASSERT_FALSE(deb.empty()) << out;
  EXPECT_EQ(deb.filename().string().rfind("addrivo_" ADDRIVO_VERSION "-1_", 0), 0u) << deb;

  // Run-time dependencies as dpkg-shlibdeps found them, with versions.
  ASSERT_EQ(RunCommand("dpkg-deb -f " + ShellQuote(deb.string()) + " Depends", &out), 0);
  for (const char* lib : {"libc6 (>=", "libqt6widgets6 (>=", "libchm1 (>=", "libstdc++6 (>="})
    EXPECT_NE(out.find(lib), std::string::npos) << lib << " in " << out;
  ASSERT_EQ(RunCommand("dpkg-deb -I " + ShellQuote(deb.string()), &out), 0);
  for (const char* script : {" postinst", " prerm", " postrm", " preinst"})
    EXPECT_EQ(out.find(script), std::string::npos) << "no maintainer script needed: " << out;

  // lintian: no errors (warnings and notes are printed for whoever looks).
  const int lintian = RunCommand("lintian --no-cfg --fail-on error " + ShellQuote(deb.string()) + " 2>&1", &out);
  EXPECT_EQ(lintian, 0) << out;
  EXPECT_FALSE(std::regex_search(out, std::regex("(^|\n)E: "))) << out;
  if (!out.empty()) std::printf("lintian says:\n%s", out.c_str());

  // Unpacked anywhere, the programs find their files relative to themselves.
  const fs::path root = work / "root";
  ASSERT_EQ(RunCommand("dpkg -x " + ShellQuote(deb.string()) + " " + ShellQuote(root.string()) + " 2>&1", &out), 0)
      << out;
  testsupport::WriteGeneratedBook(work / "friends.wab", 4);
  ASSERT_EQ(RunCommand(ShellQuote((root / "usr/bin/addrivo-convert").string()) + " xls " +
                           ShellQuote((work / "friends.wab").string()) + " " + ShellQuote(work.path().string()) +
                           " 2>&1",
                       &out),
            0)
      << out;
  // Followed by what the workbook's columns leave out of the generated book.
  EXPECT_NE(out.find("4 Contacts Successfully Saved to \nFileName: " + (work / "friends.xls").string() + "\n"),
            std::string::npos)
      << out;
  ASSERT_EQ(RunCommand("QT_QPA_PLATFORM=offscreen " + ShellQuote((root / "usr/bin/addrivo").string()) + " --help 2>&1",
                       &out),
            0)
      << out;
  EXPECT_NE(out.find("Help file: " + (root / "usr/share/addrivo/Help.chm").string() + "\n"), std::string::npos)
      << out;
}

}  // namespace

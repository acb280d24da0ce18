// The help file reader, against the Help.chm this build compiled and against
// files damaged in the ways a download or a disk can damage them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/TestData.h"
#include "platform/help/ChmFile.h"

namespace fs = std::filesystem;
using help::ChmFile;
using help::ChmStatus;

namespace {

fs::path BuiltHelp() { return fs::path(ADDRIVO_HELP_FILE); }
fs::path HelpSource(const std::string& name) { return fs::path(ADDRIVO_SOURCE_DIR) / "assets/help" / name; }

std::unique_ptr<ChmFile> OpenOk(const fs::path& path) {
  ChmStatus status = ChmStatus::NotFound;
  auto file = ChmFile::Open(path.string(), &status);
  EXPECT_EQ(status, ChmStatus::Ok) << path;
  return file;
}

// Reads everything a viewer would: the system information, the listing and
// every object. Must neither crash nor hang on any input.
void ReadEverything(const ChmFile& file) {
  (void)file.StartPage();
  for (const std::string& f : file.Files()) (void)file.Read(f);
  (void)file.Read(file.ContentsFile());
}

}  // namespace

TEST(ChmFile, BuiltHelpFileCarriesItsProjectSettings) {
  auto file = OpenOk(BuiltHelp());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Title(), "Addrivo Help");
  EXPECT_EQ(file->DefaultTopic(), "/index.html");
  EXPECT_EQ(file->StartPage(), "/index.html");
  EXPECT_EQ(file->ContentsFile(), "/Help.hhc");
  EXPECT_EQ(file->IndexFile(), "/Help.hhk");
}

TEST(ChmFile, EveryPageComesBackByteForByte) {
  auto file = OpenOk(BuiltHelp());
  ASSERT_TRUE(file);
  const std::vector<std::string> listed = file->Files();
  for (const char* name : {"index.html", "scanning.html", "contacts.html", "export-excel.html",
                           "export-outlook.html", "messages.html", "style.css", "images/banner.png",
                           "Help.hhc", "Help.hhk"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string("/") + name;
    EXPECT_NE(std::find(listed.begin(), listed.end(), path), listed.end());
    EXPECT_TRUE(file->Contains(name));
    const auto data = file->Read(name);
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, testsupport::ReadFile(HelpSource(name)));
  }
  // The listing leaves out the compiler's own bookkeeping.
  for (const std::string& f : listed) {
    EXPECT_NE(f.rfind("/#", 0), 0u) << f;
    EXPECT_NE(f.rfind("/$", 0), 0u) << f;
    EXPECT_NE(f.back(), '/') << f;
  }
}

TEST(ChmFile, PathsAreTakenFromTheRootWhateverTheirSpelling) {
  auto file = OpenOk(BuiltHelp());
  ASSERT_TRUE(file);
  const auto expected = file->Read("/index.html");
  ASSERT_TRUE(expected);
  for (const char* spelling : {"index.html", "./index.html", "/images/../index.html", "\\index.html",
                               "../../index.html", "//index.html"}) {
    SCOPED_TRACE(spelling);
    const auto got = file->Read(spelling);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *expected);
  }
  EXPECT_FALSE(file->Read("/no-such-page.html"));
  EXPECT_FALSE(file->Contains("/images/"));  // a folder is not a page
  EXPECT_FALSE(file->Read(std::string(2000, 'a')));  // longer than any path the format allows
}

TEST(ChmFile, NormalizeResolvesDotsWithoutLeavingTheRoot) {
  EXPECT_EQ(ChmFile::Normalize(""), "/");
  EXPECT_EQ(ChmFile::Normalize("a/b/../c.html"), "/a/c.html");
  EXPECT_EQ(ChmFile::Normalize("../../etc/passwd"), "/etc/passwd");
  EXPECT_EQ(ChmFile::Normalize("a\\b.html"), "/a/b.html");
  EXPECT_EQ(ChmFile::Normalize("images/"), "/images/");
}

TEST(ChmFile, MissingFileOrFolderIsNotFound) {
  testsupport::TempDir dir;
  ChmStatus status = ChmStatus::Ok;
  EXPECT_FALSE(ChmFile::Open((dir / "Help.chm").string(), &status));
  EXPECT_EQ(status, ChmStatus::NotFound);
  status = ChmStatus::Ok;
  EXPECT_FALSE(ChmFile::Open(dir.path().string(), &status));
  EXPECT_EQ(status, ChmStatus::NotFound);
}

TEST(ChmFile, FilesThatAreNoHelpFileAreRecognised) {
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "This is not a help file.\r\n"},
      {"header only", chm.substr(0, 0x60)},
      {"signature only", "ITSF"},
      {"a page renamed", testsupport::ReadFile(HelpSource("index.html"))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir / "Help.chm";
    testsupport::WriteFile(path, c.bytes);
    ChmStatus status = ChmStatus::Ok;
    EXPECT_FALSE(ChmFile::Open(path.string(), &status));
    EXPECT_EQ(status, ChmStatus::NotHelpFile);
  }
}

TEST(ChmFile, SizesThatWouldExhaustMemoryAreRefused) {
  // chmlib allocates buffers of the sizes these fields state; a damaged file
  // must not make it ask for gigabytes.
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  auto u32_at = [](std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  const std::size_t itsp = chm.find("ITSP");
  ASSERT_NE(itsp, std::string::npos);
  const std::size_t lzxc = chm.find("LZXC");
  ASSERT_NE(lzxc, std::string::npos);
  // The reset table: version 2, a block count, then 8 and 0x28.
  const std::size_t reset = chm.find(std::string("\x08\0\0\0\x28\0\0\0", 8));
  ASSERT_NE(reset, std::string::npos);
  ASSERT_GE(reset, 8u);
  const std::size_t reset_start = reset - 8;

  const struct {
    const char* name;
    std::size_t at;
    std::uint32_t value;
  } cases[] = {
      {"directory chunk length", itsp + 0x10, 0x7fffffffu},
      {"directory chunk count", itsp + 0x2C, 0x00ffffffu},
      {"decompression block length", reset_start + 0x20, 0x7fff0000u},
      {"reset table entries", reset_start + 0x04, 0x7fffffffu},
      {"window size", lzxc + 0x0C, 0x00100000u},
      {"reset interval", lzxc + 0x08, 0u},
      {"windows per reset", lzxc + 0x10, 0u},
      // The first listing chunk names itself as the next one: chmlib would
      // walk the directory for ever.
      {"listing chunks in a loop", itsp + 0x54 + 0x10, 0u},
      {"listing chunk out of range", itsp + 0x54 + 0x10, 7u},
      // A compressed block longer than the buffer chmlib copies it into.
      {"compressed block too long", reset_start + 0x28 + 8, 0x00100000u},
      {"compressed blocks out of order", reset_start + 0x28 + 16, 1u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bad = chm;
    u32_at(bad, c.at, c.value);
    const fs::path path = dir / "Help.chm";
    testsupport::WriteFile(path, bad);
    ChmStatus status = ChmStatus::Ok;
    EXPECT_FALSE(ChmFile::Open(path.string(), &status));
    EXPECT_EQ(status, ChmStatus::NotHelpFile);
  }
}

TEST(ChmFile, TruncatedFileNeverYieldsPartialPages) {
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  const auto whole = OpenOk(BuiltHelp());
  ASSERT_TRUE(whole);
  for (std::size_t keep : {chm.size() / 8, chm.size() / 3, chm.size() / 2, chm.size() - 100}) {
    SCOPED_TRACE(keep);
    const fs::path path = dir / "Help.chm";
    testsupport::WriteFile(path, chm.substr(0, keep));
    ChmStatus status = ChmStatus::Ok;
    auto file = ChmFile::Open(path.string(), &status);
    if (!file) {
      EXPECT_EQ(status, ChmStatus::NotHelpFile);
      continue;
    }
    // Whatever can still be read must be exactly what the whole file holds.
    for (const std::string& f : whole->Files()) {
      const auto got = file->Read(f);
      if (got) {
        EXPECT_EQ(*got, *whole->Read(f)) << f;
      }
    }
  }
}

TEST(ChmFile, DamagedBytesAnywhereNeitherCrashNorHang) {
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  const fs::path path = dir / "Help.chm";
  // Every 97th byte position, with three kinds of damage: a flipped byte, a
  // zeroed run and a run of 0xFF (huge lengths and offsets).
  for (std::size_t at = 0; at < chm.size(); at += 97) {
    for (int kind = 0; kind < 3; ++kind) {
      std::string bad = chm;
      if (kind == 0) {
        bad[at] = static_cast<char>(~bad[at]);
      } else {
        for (std::size_t i = at; i < std::min(bad.size(), at + 8); ++i) bad[i] = kind == 1 ? '\0' : '\xff';
      }
      testsupport::WriteFile(path, bad);
      ChmStatus status = ChmStatus::Ok;
      if (auto file = ChmFile::Open(path.string(), &status)) ReadEverything(*file);
    }
  }
}

// The help file reader, against the Help.chm this build compiled and against
// files damaged in the ways a download or a disk can damage them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

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


std::uint64_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The built file's directory is one listing chunk; this reads its entries and
// writes them back, so a test can rename, move or add objects the way a
// damaged or hostile file would.
struct Listing {
  struct Entry {
    std::string name;
    std::uint64_t section, offset, length;
  };
  std::string file;
  std::size_t chunk = 0, chunk_length = 0;
  std::vector<Entry> entries;

  explicit Listing(std::string bytes) : file(std::move(bytes)) {
    const std::size_t itsp = Le(file, 0x48, 8);
    chunk = itsp + Le(file, itsp + 0x08, 4);
    chunk_length = Le(file, itsp + 0x10, 4);
    EXPECT_EQ(Le(file, itsp + 0x2C, 4), 1u) << "expected a single listing chunk";
    std::size_t p = chunk + 0x14;
    const std::size_t end = chunk + chunk_length - Le(file, chunk + 4, 4);
    auto number = [&] {
      std::uint64_t v = 0;
      unsigned char b;
      do {
        b = static_cast<unsigned char>(file[p++]);
        v = (v << 7) | (b & 0x7F);
      } while (b & 0x80);
      return v;
    };
    while (p < end) {
      Entry e;
      const std::uint64_t n = number();
      e.name = file.substr(p, n);
      p += n;
      e.section = number();
      e.offset = number();
      e.length = number();
      entries.push_back(e);
    }
  }
  Entry* Find(const std::string& name) {
    for (auto& e : entries)
      if (e.name == name) return &e;
    ADD_FAILURE() << name;
    return nullptr;
  }
  // Where an object appended to the file starts, as a stored object's offset.
  std::uint64_t Append(const std::string& bytes) {
    const std::uint64_t at = file.size() - Le(file, 0x58, 8);
    file += bytes;
    return at;
  }
  std::string Bytes() const {
    std::string body;
    auto number = [&body](std::uint64_t v) {
      std::string out(1, static_cast<char>(v & 0x7F));
      while (v >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
      body += out;
    };
    for (const auto& e : entries) {
      number(e.name.size());
      body += e.name;
      number(e.section);
      number(e.offset);
      number(e.length);
    }
    std::string out = file;
    EXPECT_LE(body.size(), chunk_length - 0x14);
    out.replace(chunk + 0x14, body.size(), body);
    const std::uint32_t free_space = static_cast<std::uint32_t>(chunk_length - 0x14 - body.size());
    for (int i = 0; i < 4; ++i) out[chunk + 4 + i] = static_cast<char>(free_space >> (8 * i));
    return out;
  }
};

constexpr const char* kControlData = "::DataSpace/Storage/MSCompressed/ControlData";


// Writes bytes as a help file and expects the reader to refuse it; should it
// open after all, everything is read, so a crash shows here and not later.
void ExpectRefused(const testsupport::TempDir& dir, const std::string& bytes) {
  const fs::path path = dir / "Help.chm";
  testsupport::WriteFile(path, bytes);
  ChmStatus status = ChmStatus::Ok;
  auto file = ChmFile::Open(path.string(), &status);
  EXPECT_FALSE(file);
  EXPECT_EQ(status, ChmStatus::NotHelpFile);
  if (file) ReadEverything(*file);
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
                           "export-outlook.html", "export-other.html", "messages.html", "style.css",
                           "images/banner.png",
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
    ExpectRefused(dir, c.bytes);
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
    ExpectRefused(dir, bad);
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

TEST(ChmFile, ObjectsChmlibWouldFindInsteadOfTheCheckedOnesAreRefused) {
  // chmlib matches names ignoring case and up to a NUL, takes the first match,
  // and divides by what the control data it finds says. Control data with no
  // windows per reset, under a name chmlib takes for the real one and placed
  // before it, would make it divide by zero on the first compressed page.
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  {
    Listing check(chm);
    ASSERT_FALSE(check.entries.empty());
    ASSERT_TRUE(check.Find(kControlData));
  }
  const std::string bad_control("\x06\0\0\0LZXC\x02\0\0\0\x02\0\0\0\x02\0\0\0\0\0\0\0\0\0\0\0", 28);
  const std::string names[] = {
      kControlData,
      "::dataspace/storage/mscompressed/controldata",
      std::string(kControlData) + std::string("\0old", 4),
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Listing listing(chm);
    const std::uint64_t at = listing.Append(bad_control);
    listing.entries.insert(listing.entries.begin(), {name, 0, at, bad_control.size()});
    ExpectRefused(dir, listing.Bytes());
  }
}

TEST(ChmFile, DamagedCompressionObjectsAreRefusedEvenWithNothingCompressed) {
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  const std::size_t lzxc = chm.find("LZXC");
  ASSERT_NE(lzxc, std::string::npos);

  // chmlib computes its reset block count on opening from the control data:
  // a window of zero divides by zero before any page is read. Sections other
  // than 0 and 1 are compressed to chmlib too.
  Listing listing(chm);
  for (auto& e : listing.entries)
    if (e.section == 1) e.section = 2;
  std::string bytes = listing.Bytes();
  for (int i = 0; i < 4; ++i) bytes[lzxc + 0x0C + i] = '\0';
  ExpectRefused(dir, bytes);
}

TEST(ChmFile, CompressedObjectsBeyondTheContentAreRefused) {
  // Past the blocks the reset table lists, chmlib would read a block's bounds
  // from the bytes after the table and copy that much into a fixed buffer.
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(BuiltHelp());
  const struct {
    const char* name;
    std::uint64_t section, before_end, length;
  } cases[] = {
      {"starts past the end", 1, 0, 100},
      {"runs past the end", 1, 1000, 2000},
      {"far past the end", 1, 0, 1u << 20},
      {"section number wider than chmlib keeps", (1ull << 32) + 1, 0, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Listing listing(chm);
    Listing::Entry* page = listing.Find("/index.html");
    ASSERT_TRUE(page);
    std::uint64_t end = 0;  // of the compressed content
    for (const auto& e : listing.entries)
      if (e.section == 1) end = std::max(end, e.offset + e.length);
    page->section = c.section;
    page->offset = end - c.before_end;
    page->length = c.length;
    ExpectRefused(dir, listing.Bytes());
  }
}

// The structural checker must accept Outlook's own files and catch the
// faults that the outside readers let through.
#include <gtest/gtest.h>

#include <cstring>

#include "PstTestUtil.h"
#include "platform/pst/Crc.h"
#include "platform/pst/PstHeader.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using testsupport::CheckPstBytes;
using testsupport::CheckPstFile;

TEST(PstChecker, AcceptsOutlooksOwnFiles) {
  for (const char* name :
       {"pst/Empty-unicode.pst", "pst/test_unicode.pst", "pst/test_ansi.pst", "pst/dist-list.pst"}) {
    auto r = CheckPstFile(testsupport::TestDataPath(name));
    EXPECT_TRUE(r.ok()) << name << "\n" << r.Report();
    EXPECT_GT(r.nodes, 40u) << name;
    EXPECT_EQ(r.amaps, 1u) << name;
    // The file Outlook edited (a contact and a list added, items deleted)
    // keeps one block no node uses, its count at 1: one more than its uses.
    EXPECT_EQ(r.unreferencedBlocks, std::string(name) == "pst/dist-list.pst" ? 1u : 0u) << name;
  }
  EXPECT_FALSE(CheckPstFile(testsupport::TestDataPath("pst/test_ansi.pst")).unicode);
  EXPECT_TRUE(CheckPstFile(testsupport::TestDataPath("pst/test_unicode.pst")).unicode);
}

// The header struct on real headers: Outlook's own files decode to what
// [MS-PST] 2.2.2.6 says they hold and keep every field through Encode;
// ours encode back byte for byte.
TEST(PstChecker, HeadersDecodeAndEncodeBack) {
  using pst::detail::PstHeader;
  struct Case {
    std::string name;
    std::filesystem::path file;
    bool unicode, ours;
  };
  testsupport::TempDir dir;
  std::vector<Case> cases;
  for (const char* name : {"pst/test_ansi.pst", "pst/test_unicode.pst", "pst/dist-list.pst"})
    cases.push_back({name, testsupport::TestDataPath(name), std::string(name) != "pst/test_ansi.pst", false});
  for (pst::Format f : {pst::Format::Ansi, pst::Format::Unicode}) {
    const auto ours = dir / (f == pst::Format::Ansi ? "ansi.pst" : "unicode.pst");
    psttest::WriteContactsFile(ours, f, 3);
    cases.push_back({ours.filename().string(), ours, f == pst::Format::Unicode, true});
  }
  for (const auto& c : cases) {
    const std::string bytes = testsupport::ReadFile(c.file);
    const auto* at = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const PstHeader h = PstHeader::Decode(c.unicode, at);
    EXPECT_EQ(std::string(h.magic.data(), 4), "!BDN") << c.name;
    EXPECT_EQ(h.version, c.unicode ? 23 : 14) << c.name;
    EXPECT_EQ(h.root.fileEof, bytes.size()) << c.name;
    EXPECT_EQ(h.root.amapLast, 0x4400u) << c.name;  // each file is one map interval
    EXPECT_EQ(h.crcPartial, pst::detail::Crc(at + PstHeader::kCrcFrom, PstHeader::kPartialCrcLength)) << c.name;
    EXPECT_EQ(h.sentinel, PstHeader::kSentinel) << c.name;
    EXPECT_EQ(h.cryptMethod, c.ours ? 0 : 1) << c.name;
    std::uint8_t again[PstHeader::kUnicodeSize];
    h.Encode(c.unicode, again);
    EXPECT_TRUE(PstHeader::Decode(c.unicode, again) == h) << c.name;
    if (c.ours) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(again), PstHeader::Size(c.unicode)),
                bytes.substr(0, PstHeader::Size(c.unicode)))
          << c.name;
    }
  }
}

// Where [MS-PST] allows several layouts, ours must be the one Outlook's own
// files show, in both formats: BTH header at hid 0x20, a table's header at
// 0x40, empty BTHs without a root, index levels only where one leaf is too
// small (the 1,000 contacts need them in the contents table).
TEST(PstChecker, OurLayoutFollowsTheRulesOfOutlooksFiles) {
  testsupport::TempDir dir;
  std::vector<std::pair<std::string, std::filesystem::path>> files;
  for (const char* name : {"pst/Empty-unicode.pst", "pst/test_unicode.pst", "pst/test_ansi.pst", "pst/dist-list.pst"})
    files.emplace_back(name, testsupport::TestDataPath(name));
  for (pst::Format f : {pst::Format::Ansi, pst::Format::Unicode}) {
    const auto ours = dir / (f == pst::Format::Ansi ? "ansi.pst" : "unicode.pst");
    psttest::WriteContactsFile(ours, f, 1000);
    files.emplace_back(ours.filename().string(), ours);
  }
  for (const auto& [name, file] : files) {
    const auto r = CheckPstFile(file);
    EXPECT_TRUE(r.ok()) << name << "\n" << r.Report();
    EXPECT_GT(r.layout.propertyContexts, 5u) << name;
    EXPECT_GT(r.layout.tables, 10u) << name;
    EXPECT_EQ(r.layout.bthHeaderNotFirst, 0u) << name;
    EXPECT_EQ(r.layout.tableInfoNotSecond, 0u) << name;
    EXPECT_EQ(r.layout.emptyBthWithRoot, 0u) << name;
    EXPECT_EQ(r.layout.bthLevelsNeedless, 0u) << name;
  }
}

class PstCheckerFaults : public ::testing::TestWithParam<pst::Format> {
 protected:
  void SetUp() override {
    psttest::WriteContactsFile(dir_ / "c.pst", GetParam(), 3);
    bytes_ = testsupport::ReadFile(dir_ / "c.pst");
    auto r = CheckPstBytes(bytes_);
    ASSERT_TRUE(r.ok()) << r.Report();
    ASSERT_EQ(r.markedUnused, 0u);
  }
  bool unicode() const { return GetParam() == pst::Format::Unicode; }
  // The first block the block tree lists: found through the root page.
  std::string Corrupt(std::size_t offset, std::uint8_t x) {
    std::string b = bytes_;
    b[offset] = static_cast<char>(b[offset] ^ x);
    return b;
  }
  static bool Mentions(const testsupport::PstCheck& r, const std::string& what) {
    for (const auto& e : r.errors)
      if (e.find(what) != std::string::npos) return true;
    return false;
  }
  testsupport::TempDir dir_;
  std::string bytes_;
};

TEST_P(PstCheckerFaults, CatchesHeaderBlockAndPageDamage) {
  // Header: a changed byte inside the checksummed range.
  EXPECT_TRUE(Mentions(CheckPstBytes(Corrupt(unicode() ? 40 : 32, 1)), "header partial CRC"));
  // The first block after the first interval's maps holds data: change a byte.
  EXPECT_TRUE(Mentions(CheckPstBytes(Corrupt(0x4800 + 20, 0x55)), "bad CRC"));
  // An allocation map bit cleared under a block in use.
  EXPECT_TRUE(Mentions(CheckPstBytes(Corrupt(0x4400 + (unicode() ? 0 : 4) + 1, 0x80)),
                       "in use but not marked"));
  // A B-tree page's type byte: the last page before the maps of the end.
  const std::size_t trailer = unicode() ? 16 : 12;
  const auto* h = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  const std::uint64_t nbtRoot = pst::detail::PstHeader::Decode(unicode(), h).root.nbt.ib;
  EXPECT_TRUE(Mentions(CheckPstBytes(Corrupt(nbtRoot + 512 - trailer, 0x01)), "has type"));
  // The file cut short of what the header says.
  EXPECT_FALSE(CheckPstBytes(bytes_.substr(0, bytes_.size() - 512)).ok());
}

TEST_P(PstCheckerFaults, CatchesAWrongReferenceCount) {
  // Down the block tree's first entries to a leaf; raise its first block's
  // count and seal the page again, so only the count is wrong.
  const bool u = unicode();
  const std::size_t id = u ? 8 : 4, area = u ? 488 : 496, trailer = u ? 16 : 12;
  auto get = [&](std::size_t off) {
    std::uint64_t v = 0;
    std::memcpy(&v, bytes_.data() + off, id);
    return v;
  };
  std::uint64_t page = u ? get(180 + 60) : get(164 + 32);
  while (static_cast<unsigned char>(bytes_[page + area + 3]) != 0) page = get(page + 2 * id);
  std::string b = bytes_;
  b[page + 2 * id + 2] = static_cast<char>(b[page + 2 * id + 2] + 1);
  std::uint32_t crc = pst::detail::Crc(b.data() + page, 512 - trailer);
  std::memcpy(b.data() + page + 512 - trailer + (u ? 4 : 8), &crc, 4);
  auto r = CheckPstBytes(b);
  EXPECT_EQ(r.refCountMismatches, 1u) << r.Report();
  EXPECT_TRUE(Mentions(r, "reference count"));
}

INSTANTIATE_TEST_SUITE_P(Formats, PstCheckerFaults,
                         ::testing::Values(pst::Format::Ansi, pst::Format::Unicode),
                         [](const auto& i) { return i.param == pst::Format::Ansi ? "Ansi" : "Unicode"; });

}  // namespace

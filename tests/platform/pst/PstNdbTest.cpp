// The node database on its own, at the sizes contacts never reach: streams
// long enough for a two-level data tree, and nodes with more subnodes than
// one subnode block holds.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/pst/NdbWriter.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using namespace pst::detail;

std::string Pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed) >> 3);
  return s;
}

template <class F>
void WriteAndReadBack() {
  testsupport::TempDir dir;
  auto path = dir / "ndb.pst";
  // One block more than one data tree block can list.
  const std::string big = Pattern(F::kMaxBlockData * (F::kXEntries + 1) + 5, 7);
  constexpr std::uint32_t kSubnodes = 700;  // more than one subnode block holds
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    FileSink sink(f, path.string());
    NdbWriter<F> ndb(sink);
    NodeContent a;
    a.data = SplitStream(reinterpret_cast<const std::uint8_t*>(big.data()), big.size(), F::kMaxBlockData);
    ndb.AddNode(0x21, 0, a);
    NodeContent b;
    for (std::uint32_t i = 0; i < kSubnodes; ++i) {
      Subnode s;
      s.nid = MakeNid(0x400 + i, kNidLtp);
      std::string v = Pattern(10 + i, i);
      s.content.data = SplitStream(reinterpret_cast<const std::uint8_t*>(v.data()), v.size(), F::kMaxBlockData);
      b.subnodes.push_back(std::move(s));
    }
    ndb.AddNode(0x61, 0, b);
    HeaderInfo info;
    info.rgnid.fill(0x400);
    NdbStats stats = ndb.Finish(info);
    std::fclose(f);
    EXPECT_EQ(stats.fileSize, std::filesystem::file_size(path));
    EXPECT_EQ(stats.nodes, 2u);
  }
  auto r = testsupport::CheckPstFile(path);
  ASSERT_TRUE(r.ok()) << r.Report();
  EXPECT_EQ(r.markedUnused, 0u);

  testsupport::PstFile file(path);
  EXPECT_EQ(file.Nodes(), (std::vector<std::uint32_t>{0x21, 0x61}));
  EXPECT_TRUE(file.NodeStream(0x21) == big);
  for (std::uint32_t i : {0u, 1u, 339u, 340u, 681u, 699u})
    EXPECT_EQ(file.SubnodeStream(0x61, MakeNid(0x400 + i, kNidLtp)), Pattern(10 + i, i)) << i;
}

TEST(PstNdb, TwoLevelDataTreesAndSubnodeIndexesAnsi) { WriteAndReadBack<AnsiFormat>(); }
TEST(PstNdb, TwoLevelDataTreesAndSubnodeIndexesUnicode) { WriteAndReadBack<UnicodeFormat>(); }

}  // namespace

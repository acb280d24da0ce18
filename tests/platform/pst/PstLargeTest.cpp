// The largest folder the export makes: 32,766 contacts, in both formats,
// checked by our own checker and by both outside readers.
#include <gtest/gtest.h>

#include "PstTestUtil.h"
#include "support/PstChecker.h"
#include "support/TestData.h"

namespace {

using pst::Format;
using testsupport::ShellQuote;

class PstLarge : public ::testing::TestWithParam<Format> {};

TEST_P(PstLarge, ThirtyTwoThousandContacts) {
  constexpr int kCount = 32766;
  testsupport::TempDir dir;
  auto path = dir / "big.pst";
  const std::string folder = psttest::WriteContactsFile(path, GetParam(), kCount);

  auto r = testsupport::CheckPstFile(path);
  ASSERT_TRUE(r.ok()) << r.Report();
  EXPECT_EQ(r.markedUnused, 0u);
  EXPECT_EQ(r.refCountMismatches, 0u);
  EXPECT_EQ(r.unreferencedBlocks, 0u);
  EXPECT_GT(r.amaps, 128u);  // past the first free map
  EXPECT_EQ(r.nodes, static_cast<std::size_t>(kCount) + 35);

  // libpff takes long per item in a big folder, so it reads a sample.
  const std::vector<int> sample = {0, 1, 4095, 20000, kCount - 1};
  auto store = psttest::ReadWithLibpff(path, psttest::PffWanted{{0x3A06, 0x8005, 0x1000}, {}, {}, sample});
  const auto* f = store.root.Find("Top of Personal Folders")->Find(folder);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->itemCount, static_cast<std::size_t>(kCount));
  ASSERT_EQ(f->items.size(), sample.size());
  for (std::size_t k = 0; k < sample.size(); ++k) {
    const std::string n = std::to_string(sample[k]);
    EXPECT_EQ(f->items[k].text.at(0x3A06), "Given" + n);
    EXPECT_EQ(f->items[k].text.at(0x8005), "Family" + n + ", Given" + n + " M");
    EXPECT_EQ(f->items[k].text.at(0x1000), "Notes for " + n + "\r\nsecond line");
  }

  std::string ls = psttest::Run("lspst " + ShellQuote(path.string()));
  EXPECT_EQ(psttest::CountLines(ls, "Contact\t"), static_cast<std::size_t>(kCount));
  int status = 0;
  std::string log = psttest::Run("readpst -cv -o " + ShellQuote(dir.path().string()) + " " + ShellQuote(path.string()) + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  EXPECT_NE(log.find(std::to_string(kCount) + " items done"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Formats, PstLarge, ::testing::Values(Format::Ansi, Format::Unicode),
                         [](const auto& i) { return i.param == Format::Ansi ? "Ansi" : "Unicode"; });

}  // namespace

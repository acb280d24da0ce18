// The writer's faster paths give what the plain ones give. Items made on the
// worker reach the caller in order, a failure on either side ends the run
// with the same error after the items before it, and what is prepared (the
// random keys) stays on the calling thread. A contact unpacked over the one
// before it keeps nothing of that one. Text goes into UTF-16 as the code
// page layer converts it, malformed bytes included, and into an ANSI page
// as the code page layer converts it. A property list sorted ahead gives the
// same property context, and one with an id twice is still refused. A list
// keeps its values when it grows, is copied or moved; a heap page reused
// after another heap's bytes pads with zeros.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/pst/Ltp.h"
#include "platform/pst/PackedContacts.h"
#include "platform/pst/PstStore.h"
#include "platform/pst/StoreFile.h"
#include "platform/pst/WorkAhead.h"

namespace {

using pst::detail::WorkAhead;

struct Pass {
  std::size_t items, slots, batch;
  bool ahead;
  long failMakeAt, failTakeAt;  // -1: none
};
void PrintTo(const Pass& p, std::ostream* os) {
  *os << p.items << " items, " << p.slots << " slots, batch " << p.batch << (p.ahead ? ", ahead" : "");
}

class WorkAheadTest : public testing::TestWithParam<Pass> {};

TEST_P(WorkAheadTest, InOrderAndFailuresReachTheCaller) {
  const Pass r = GetParam();
  struct Slot {
    std::size_t item = 0, prepared = 0, made = 0;
  };
  std::vector<Slot> slots(r.slots);
  std::vector<std::size_t> taken;
  const auto caller = std::this_thread::get_id();
  bool preparedElsewhere = false;
  std::string error;
  try {
    WorkAhead(
        r.items, slots, r.batch, r.ahead,
        [&](std::size_t i, Slot& s) {
          preparedElsewhere = preparedElsewhere || std::this_thread::get_id() != caller;
          s.prepared = i + 1;
        },
        [&](std::size_t i, Slot& s) {
          if (static_cast<long>(i) == r.failMakeAt) throw pst::PstError("make failed at " + std::to_string(i));
          s.made = s.prepared;  // made from what was prepared for this very item
          s.item = i;
        },
        [&](std::size_t i, Slot& s) {
          if (static_cast<long>(i) == r.failTakeAt) throw pst::PstError("take failed at " + std::to_string(i));
          EXPECT_EQ(s.item, i);
          EXPECT_EQ(s.made, i + 1);
          taken.push_back(i);
        });
  } catch (const pst::PstError& e) {
    error = e.what();
  }
  EXPECT_FALSE(preparedElsewhere);
  const long failAt = r.failMakeAt >= 0 ? r.failMakeAt : r.failTakeAt;
  const std::size_t expected = failAt >= 0 ? static_cast<std::size_t>(failAt) : r.items;
  ASSERT_EQ(taken.size(), expected);
  for (std::size_t i = 0; i < taken.size(); ++i) ASSERT_EQ(taken[i], i);
  if (failAt < 0) EXPECT_EQ(error, "");
  else EXPECT_EQ(error, std::string(r.failMakeAt >= 0 ? "make" : "take") + " failed at " + std::to_string(failAt));
}

INSTANTIATE_TEST_SUITE_P(Runs, WorkAheadTest,
                         testing::Values(Pass{0, 8, 4, true, -1, -1}, Pass{3, 8, 4, true, -1, -1},
                                         Pass{1000, 8, 4, true, -1, -1}, Pass{1001, 12, 4, true, -1, -1},
                                         Pass{1000, 8, 8, true, -1, -1}, Pass{1000, 8, 4, false, -1, -1},
                                         Pass{1000, 8, 4, true, 0, -1}, Pass{1000, 8, 4, true, 517, -1},
                                         Pass{1000, 8, 4, true, 999, -1}, Pass{1000, 8, 4, true, -1, 0},
                                         Pass{1000, 8, 4, true, -1, 517}, Pass{1000, 8, 4, false, 517, -1}));

TEST(PackedContacts, UnpackingOverAnotherContactLeavesNothingOfIt) {
  pst::Contact full;
  for (auto field : pst::detail::kContactFields) full.*field = std::string(200, 'f');  // lengths over one byte
  full.Children = {"a", "b"};
  full.Categories = {"c"};
  full.Gender = 2;
  full.Birthday = {1970, 1, 2};
  full.Anniversary = {0, 3, 4};  // a date without a year is still kept
  pst::Contact some;
  some.LastName = "Last";
  some.Categories = {"", "x"};
  const std::vector<pst::Contact> given = {full, pst::Contact{}, some, full, some};
  pst::detail::PackedContacts packed;
  for (const auto& c : given) packed.Add(c);
  pst::Contact out;
  for (std::size_t i = 0; i < given.size(); ++i) {
    packed.Unpack(i, out);
    for (auto field : pst::detail::kContactFields) ASSERT_EQ(out.*field, given[i].*field) << i;
    EXPECT_EQ(out.Children, given[i].Children) << i;
    EXPECT_EQ(out.Categories, given[i].Categories) << i;
    EXPECT_EQ(out.Gender, given[i].Gender) << i;
    EXPECT_EQ(out.Birthday.year, given[i].Birthday.year) << i;
    EXPECT_EQ(out.Anniversary.month, given[i].Anniversary.month) << i;
    EXPECT_EQ(out.Anniversary.day, given[i].Anniversary.day) << i;
  }
}

TEST(PstText, Utf16IsWhatTheCodePageLayerGives) {
  pst::detail::LtpFormat fmt;  // Unicode
  for (const std::string text :
       {"plain", "J\xC3\xBCrgen \xE2\x82\xAC", "\xF0\x9F\x98\x80 four bytes", "\xFF lone", "cut \xE2\x82",
        "\xC0\x80 overlong", "\xED\xA0\x80 surrogate", "\xF4\x90\x80\x80 too high", "a\x80" "b\xC3"}) {
    const pst::detail::PropValue v = pst::detail::StringProp(0x3001, text, fmt);
    const std::string want = codepage::Utf8ToUtf16le(text);
    EXPECT_EQ(std::string(v.data.begin(), v.data.end()), want) << text;
  }
}

TEST(PstText, AnsiIsWhatTheCodePageLayerGives) {
  // Single-byte pages by table, double-byte and composing pages through the
  // code page layer; characters a page lacks and malformed bytes become "?".
  for (const int page : {1252, 1251, 437, 874, 932, 936, 1255, 1258}) {
    if (!codepage::IsSupported(page)) continue;
    const pst::detail::LtpFormat fmt = pst::detail::FileFormat(false, page);
    for (const std::string text :
         {"plain", "J\xC3\xBCrgen \xE2\x82\xAC", "\xD0\x9F\xD1\x80\xD0\xB8", "\xE6\x97\xA5\xE6\x9C\xAC",
          "Vi\xE1\xBB\x87t", "\xD7\xA9\xD7\x9C", "\xF0\x9F\x98\x80 four", "\xFF lone", "cut \xE2\x82"}) {
      const std::string want = codepage::FromUtf8(text, page).bytes;
      const pst::detail::PropValue v = pst::detail::StringProp(0x3001, text, fmt);
      EXPECT_EQ(std::string(v.data.begin(), v.data.end()), want) << page << " " << text;
      pst::detail::PropertyList list;
      list.String(0x3001, text, fmt);
      const auto& e = list.entries()[0];
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.data(e)), e.size), want) << page << " " << text;
    }
  }
}

TEST(PstPropertyList, ValuesSurviveGrowthCopiesAndMoves) {
  using namespace pst::detail;
  const std::size_t sizes[] = {0, 1, 7, 300, 5000, 70000, 3};
  PropertyList list;
  std::vector<Bytes> want;
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    Bytes v(sizes[i]);
    for (std::size_t k = 0; k < v.size(); ++k) v[k] = static_cast<std::uint8_t>(i * 31 + k);
    list.Raw(static_cast<std::uint16_t>(0x8000 + i), kPtBinary, v.data(), v.size());
    want.push_back(v);
    list.Repeat(static_cast<std::uint16_t>(0x9000 + i), 2 * i);  // read before and after the list grows
    want.push_back(v);
  }
  PropertyList assigned;
  assigned.Raw(0x0001, kPtBinary, want[8].data(), want[8].size());  // held before, gone after
  assigned = list;
  PropertyList copied(list), moved(std::move(copied));
  for (const PropertyList* l : {&list, &assigned, &moved}) {
    ASSERT_EQ(l->entries().size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(l->Value(l->entries()[i]).data, want[i]) << i;
  }
}

TEST(PstHeap, AReusedPageStillPadsWithZeros) {
  using namespace pst::detail;
  HeapBuilder heap(0xBC, 8176);
  const Bytes full(3000, 0xFF);
  heap.Alloc(full);
  heap.Alloc(full);
  Stream first;
  heap.Finish(0x20, first);
  const Bytes odd(5, 0x11);  // ends on an odd offset: one byte of padding before the page map
  heap.Alloc(odd);
  Stream second;
  heap.Finish(0x20, second);
  ASSERT_EQ(second.blocks.size(), 1u);
  const Bytes& page = second.blocks[0];
  const std::size_t map = Get16(page.data());
  ASSERT_EQ(map, 12u + 5u + 1u);
  EXPECT_EQ(page[map - 1], 0) << "padding";
  EXPECT_EQ(Get16(page.data() + map + 2), 0) << "the map's unused word";
}

TEST(PstPropertyOrder, SortedAheadGivesTheSameBagAndTwiceIsRefused) {
  using namespace pst::detail;
  const LtpFormat fmt;
  const std::vector<std::vector<std::uint16_t>> lists = {
      {0x3001, 0x0037, 0x8005, 0x001A, 0x0E08}, {0x8010, 0x8002, 0x3A06}, {0x0017}, {}, {0x3001, 0x0037, 0x3001}};
  for (const auto& ids : lists) {
    PropertyList unsorted;
    for (std::uint16_t id : ids) unsorted.String(id, "value " + std::to_string(id) + std::string(id % 5000, 'x'), fmt);
    PropertyList sorted = unsorted;
    IdSorter sorter;
    const bool once = sorter.Sort(sorted);
    std::uint32_t ltpA = 0x400, ltpB = 0x400;
    NodeContent a, b;
    PropertyContextBuilder builderA(fmt), builderB(fmt);
    if (!once) {  // the list as it was, refused as before
      EXPECT_EQ(sorted.entries().size(), unsorted.entries().size());
      for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(sorted.entries()[i].id, ids[i]);
      EXPECT_THROW(builderA.Build(sorted, ltpA, a), pst::PstError);
      continue;
    }
    for (std::size_t i = 1; i < sorted.entries().size(); ++i)
      EXPECT_LT(sorted.entries()[i - 1].id, sorted.entries()[i].id);
    builderA.Build(unsorted, ltpA, a);
    builderB.Build(sorted, ltpB, b);
    EXPECT_EQ(ltpA, ltpB);
    ASSERT_EQ(a.data.blocks, b.data.blocks);
    ASSERT_EQ(a.subnodes.size(), b.subnodes.size());
    for (std::size_t i = 0; i < a.subnodes.size(); ++i) {
      EXPECT_EQ(a.subnodes[i].nid, b.subnodes[i].nid);
      EXPECT_EQ(a.subnodes[i].content.data.blocks, b.subnodes[i].content.data.blocks);
    }
  }
}

}  // namespace

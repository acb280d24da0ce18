// Contents and index files as help authoring tools write them: loose HTML.
#include <gtest/gtest.h>

#include <chrono>

#include "support/TestData.h"
#include "platform/help/Sitemap.h"

using help::ParseSitemap;
using help::SitemapEntry;

namespace {

std::string Entry(const std::string& name, const std::string& local) {
  std::string s = "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + name + "\">";
  if (!local.empty()) s += "<param name=\"Local\" value=\"" + local + "\">";
  return s + "</OBJECT>\n";
}

}  // namespace

TEST(Sitemap, NestedListsBecomeChildrenOfTheEntryBeforeThem) {
  const std::string hhc =
      "<HTML><BODY><OBJECT type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\"></OBJECT>\n"
      "<UL>" + Entry("Start", "index.html") + Entry("Book", "") +
      "<UL>" + Entry("Page 1", "p1.html") + Entry("Chapter", "ch.html") +
      "<UL>" + Entry("Deep", "deep.html") + "</UL>" + Entry("Page 2", "p2.html") + "</UL>" +
      Entry("End", "end.html") + "</UL></BODY></HTML>";
  const auto toc = ParseSitemap(hhc);
  ASSERT_EQ(toc.size(), 3u);  // the site properties object is no entry
  EXPECT_EQ(toc[0].name, "Start");
  EXPECT_EQ(toc[0].locals, std::vector<std::string>{"index.html"});
  EXPECT_EQ(toc[1].name, "Book");
  EXPECT_TRUE(toc[1].locals.empty());
  ASSERT_EQ(toc[1].children.size(), 3u);
  EXPECT_EQ(toc[1].children[1].name, "Chapter");
  ASSERT_EQ(toc[1].children[1].children.size(), 1u);
  EXPECT_EQ(toc[1].children[1].children[0].locals[0], "deep.html");
  EXPECT_EQ(toc[1].children[2].name, "Page 2");
  EXPECT_EQ(toc[2].name, "End");
  EXPECT_TRUE(toc[2].children.empty());
}

TEST(Sitemap, LooseHtmlIsReadAsWritten) {
  // Lower-case tags, unquoted and single-quoted values, odd spacing, comments,
  // attributes in another order, no </OBJECT> before the next <LI>.
  const std::string hhk =
      "<!-- made by hand <UL> -->\n<ul>\n"
      "<li><object TYPE='text/sitemap'><PARAM value=a.html name=Local><param NAME = \"Name\" VALUE = 'Alpha'>\n"
      "<li><object type=text/sitemap><param name=Name value=\"Beta &amp; Gamma &lt;x&gt; &#65;&#x42; &quot;q&quot;\">"
      "<param name=\"Local\" value=\"b.html#part\"><param name=\"Name\" value=\"ignored second name\">"
      "<param name=\"Local\" value=\"c.html\"></object>\n"
      "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Caf&#233;\"></object>\n"
      "</ul>";
  const auto idx = ParseSitemap(hhk);
  ASSERT_EQ(idx.size(), 3u);
  EXPECT_EQ(idx[0].name, "Alpha");
  EXPECT_EQ(idx[0].locals, std::vector<std::string>{"a.html"});
  EXPECT_EQ(idx[1].name, "Beta & Gamma <x> AB \"q\"");
  EXPECT_EQ(idx[1].locals, (std::vector<std::string>{"b.html#part", "c.html"}));
  EXPECT_EQ(idx[2].name, "Caf\xC3\xA9");  // numeric references come out as UTF-8
}

TEST(Sitemap, BrokenInputYieldsWhatCouldBeRead) {
  EXPECT_TRUE(ParseSitemap("").empty());
  EXPECT_TRUE(ParseSitemap("no tags at all").empty());
  EXPECT_TRUE(ParseSitemap("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"cut").size() == 1);
  // Unbalanced lists: extra closings are ignored, missing ones are forgiven.
  const auto toc = ParseSitemap("</UL></UL><UL>" + Entry("A", "a.html") + "<UL>" + Entry("B", "b.html") +
                                "</UL></UL></UL>" + Entry("C", "c.html") + "<UL><UL>" + Entry("D", "d.html"));
  ASSERT_EQ(toc.size(), 2u);
  EXPECT_EQ(toc[0].children.size(), 1u);
  EXPECT_EQ(toc[1].name, "C");
  ASSERT_EQ(toc[1].children.size(), 1u);
  EXPECT_EQ(toc[1].children[0].name, "D");
  // An unterminated entity, an unknown one and one too long stay as text.
  const auto odd = ParseSitemap("<UL>" + Entry("a &amp b &bogus; c &#xZZ; &", "x.html") + "</UL>");
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].name, "a &amp b &bogus; c &#xZZ; &");
  // Deep nesting is flattened, so walking the result cannot exhaust the stack.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<UL>" + Entry("x", "x.html");
  const auto flat = ParseSitemap(deep);
  ASSERT_EQ(flat.size(), 1u);
  std::size_t depth = 1, entries = 1;
  const std::vector<SitemapEntry>* level = &flat[0].children;
  while (!level->empty()) {
    ++depth;
    entries += level->size();
    level = &level->back().children;
  }
  EXPECT_EQ(depth, 64u);
  EXPECT_EQ(entries, 5000u);
}

TEST(Sitemap, HelpSourcesListEveryPage) {
  const auto toc = ParseSitemap(testsupport::ReadFile(std::string(ADDRIVO_SOURCE_DIR) + "/assets/help/Help.hhc"));
  std::vector<std::string> pages;
  auto walk = [&](auto& self, const std::vector<SitemapEntry>& list) -> void {
    for (const auto& e : list) {
      EXPECT_FALSE(e.name.empty());
      pages.insert(pages.end(), e.locals.begin(), e.locals.end());
      self(self, e.children);
    }
  };
  walk(walk, toc);
  for (const char* page : {"index.html", "scanning.html", "contacts.html", "export-excel.html",
                           "export-outlook.html", "export-other.html", "carddav.html", "messages.html"})
    EXPECT_NE(std::find(pages.begin(), pages.end(), page), pages.end()) << page;
}

// A reference's ';' is looked for only as far as a reference reaches: a
// megabyte of '&' without one once took time in proportion to its square.
TEST(Sitemap, AmpersandsWithoutSemicolonsTakeLinearTime) {
  for (const std::string unit : {"&", "&#", "&amp", "&#x41"}) {
    std::string value;
    while (value.size() < (1u << 20)) value += unit;
    const auto start = std::chrono::steady_clock::now();
    const auto entries = ParseSitemap("<UL>" + Entry(value, "a.html") + "</UL>");
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(entries.size(), 1u) << unit;
    EXPECT_EQ(entries[0].name, value) << unit;
    EXPECT_LT(took, std::chrono::seconds(2)) << unit;
  }
}

// The table of contents (.hhc) and index (.hhk) of a help file: HTML lists of
// <OBJECT type="text/sitemap"> entries, nested with <UL>.
//
// The parser is tolerant: help authoring tools write loose HTML (unclosed
// <LI>, upper- or lower-case tags, unquoted attributes), and a damaged
// sitemap yields what could be read rather than an error. Lists nested more
// than 64 deep are flattened into the 64th level.
#pragma once

#include <string>
#include <vector>

namespace help {

struct SitemapEntry {
  std::string name;                 // the first "Name" value (an index keyword or a heading)
  std::vector<std::string> locals;  // every "Local" value, in file order; empty for a bare heading
  std::vector<SitemapEntry> children;
};

// Entities in values (&amp; &lt; &gt; &quot; &apos; &#NN; &#xNN;) are decoded;
// the text is otherwise kept as the file holds it.
std::vector<SitemapEntry> ParseSitemap(const std::string& html);

}  // namespace help

#include "platform/help/Sitemap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <string_view>

#include "platform/codepage/CodePage.h"

namespace help {
namespace {

constexpr std::size_t kMaxDepth = 64;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

void AppendUtf8(std::string& out, unsigned long cp) {
  // Character references may name anything; what is no character shows as U+FFFD.
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  codepage::AppendUtf8(out, static_cast<char32_t>(cp));
}

std::string DecodeEntities(const std::string& s) {
  static const std::map<std::string, char> named = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    // A reference is short: look for its ';' only that far, so that text of
    // many '&' and no ';' takes linear time.
    const std::size_t found = s[i] == '&' ? std::string_view(s).substr(i, 11).find(';') : std::string_view::npos;
    if (found == std::string_view::npos) {
      out += s[i];
      continue;
    }
    const std::size_t semi = i + found;
    const std::string name = s.substr(i + 1, semi - i - 1);
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string digits = name.substr(hex ? 2 : 1);
      char* end = nullptr;
      const unsigned long cp = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (!digits.empty() && end && *end == '\0') {
        AppendUtf8(out, cp);
        i = semi;
        continue;
      }
    } else if (auto it = named.find(Lower(name)); it != named.end()) {
      out += it->second;
      i = semi;
      continue;
    }
    out += s[i];
  }
  return out;
}

struct Tag {
  std::string name;  // lower case, "/ul" for a closing tag
  std::map<std::string, std::string> attributes;  // names in lower case
};

// Reads the tag that starts at html[at] == '<'; returns the index after it.
std::size_t ReadTag(const std::string& html, std::size_t at, Tag* tag) {
  std::size_t i = at + 1;
  auto skip_space = [&] { while (i < html.size() && std::isspace(static_cast<unsigned char>(html[i]))) ++i; };
  auto word_end = [&](std::size_t from) {
    while (from < html.size() && !std::isspace(static_cast<unsigned char>(html[from])) && html[from] != '>' &&
           html[from] != '=' && html[from] != '/')
      ++from;
    return from;
  };
  if (html.compare(i, 3, "!--") == 0) {  // a comment
    const std::size_t end = html.find("-->", i);
    tag->name = "!--";
    return end == std::string::npos ? html.size() : end + 3;
  }
  std::size_t name_start = i;
  if (i < html.size() && html[i] == '/') ++i;
  i = word_end(i);
  tag->name = Lower(html.substr(name_start, i - name_start));
  while (i < html.size() && html[i] != '>') {
    skip_space();
    if (i < html.size() && html[i] == '/') {
      ++i;
      continue;
    }
    const std::size_t attr_start = i;
    i = word_end(i);
    if (i == attr_start) {
      if (i < html.size() && html[i] == '=') ++i;  // stray '='
      continue;
    }
    const std::string attr = Lower(html.substr(attr_start, i - attr_start));
    skip_space();
    std::string value;
    if (i < html.size() && html[i] == '=') {
      ++i;
      skip_space();
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const char quote = html[i++];
        const std::size_t end = html.find(quote, i);
        value = html.substr(i, (end == std::string::npos ? html.size() : end) - i);
        i = end == std::string::npos ? html.size() : end + 1;
      } else {
        const std::size_t start = i;
        while (i < html.size() && !std::isspace(static_cast<unsigned char>(html[i])) && html[i] != '>') ++i;
        value = html.substr(start, i - start);
      }
    }
    tag->attributes[attr] = DecodeEntities(value);
  }
  return i < html.size() ? i + 1 : html.size();
}

}  // namespace

std::vector<SitemapEntry> ParseSitemap(const std::string& html) {
  std::vector<SitemapEntry> root;
  // The lists being filled, outermost first. A <UL> opens the children of the
  // last entry of the current list; one that follows no entry adds to it.
  std::vector<std::vector<SitemapEntry>*> lists{&root};
  std::vector<bool> opened_children;  // per open <UL>: did it push a list?
  SitemapEntry* current = nullptr;      // the entry whose <param>s are being read
  bool seen_list = false;

  std::size_t at = 0;
  while ((at = html.find('<', at)) != std::string::npos) {
    Tag tag;
    at = ReadTag(html, at, &tag);
    if (tag.name == "ul") {
      std::vector<SitemapEntry>* list = lists.back();
      // Lists nested deeper than any real contents add to the deepest level.
      const bool nest = seen_list && !list->empty() && lists.size() < kMaxDepth;
      if (nest) lists.push_back(&list->back().children);
      opened_children.push_back(nest);
      seen_list = true;
      current = nullptr;
    } else if (tag.name == "/ul") {
      if (!opened_children.empty()) {
        if (opened_children.back() && lists.size() > 1) lists.pop_back();
        opened_children.pop_back();
      }
      current = nullptr;
    } else if (tag.name == "object") {
      const auto type = tag.attributes.find("type");
      current = nullptr;
      if (type != tag.attributes.end() && Lower(type->second) == "text/sitemap") {
        lists.back()->emplace_back();
        current = &lists.back()->back();
      }
    } else if (tag.name == "/object") {
      current = nullptr;
    } else if (tag.name == "param" && current) {
      const std::string name = Lower(tag.attributes["name"]);
      const std::string& value = tag.attributes["value"];
      if (name == "name" && current->name.empty())
        current->name = value;
      else if (name == "local" && !value.empty())
        current->locals.push_back(value);
    }
  }
  return root;
}

}  // namespace help

#include "DavAnswers.h"

#include <cctype>

#include "platform/os/Net.h"

namespace carddav {
namespace {

constexpr std::size_t kReasonLength = 200;

std::string Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

// Whitespace runs made one space, cut to a readable length.
std::string OneLine(std::string_view s) {
  std::string out;
  bool space = false;
  for (char c : s) {
    if (std::isspace(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) < 0x20) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
    if (out.size() >= kReasonLength) {
      // Never end inside a UTF-8 sequence.
      while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
      if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
      return out + "...";
    }
  }
  return out;
}

// "HTTP/1.1 200 OK" -> 200.
int StatusCode(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos || space + 4 > line.size()) return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

std::string Href(const os::XmlElement& e) {
  const os::XmlElement* href = e.Child(kDav, "href");
  return href ? Trimmed(href->text) : std::string();
}

void ReadProperties(const os::XmlElement& prop, DavResource& r) {
  for (const os::XmlElement& p : prop.children) {
    if (p.ns == kDav && p.name == "resourcetype") {
      r.collection = p.Child(kDav, "collection") != nullptr;
      r.addressBook = p.Child(kCardDav, "addressbook") != nullptr;
    } else if (p.ns == kDav && p.name == "displayname") {
      r.displayName = Trimmed(p.text);
    } else if (p.ns == kDav && p.name == "getetag") {
      r.etag = Trimmed(p.text);
    } else if (p.ns == kDav && p.name == "current-user-principal") {
      r.principal = Href(p);
    } else if (p.ns == kCardDav && p.name == "addressbook-home-set") {
      r.home = Href(p);
    } else if (p.ns == kCardDav && p.name == "supported-address-data") {
      r.listsAddressData = true;
      for (const os::XmlElement& type : p.children) {
        if (type.ns != kCardDav || type.name != "address-data-type") continue;
        const std::string* contentType = type.Attribute("content-type");
        const std::string* version = type.Attribute("version");
        // The content type defaults to text/vcard, the version to 3.0 (RFC 6352 10.3.1).
        if (contentType && *contentType != "text/vcard") continue;
        r.versions.push_back(version ? Trimmed(*version) : "3.0");
      }
    }
  }
}

void FirstText(const os::XmlElement& e, std::string& out) {
  if (!out.empty()) return;
  if (const std::string t = Trimmed(e.text); !t.empty()) {
    out = t;
    return;
  }
  for (const os::XmlElement& c : e.children) FirstText(c, out);
}

}  // namespace

bool ParseMultistatus(std::string_view body, std::vector<DavResource>& out, std::string& why) {
  out.clear();
  os::XmlElement root;
  if (!os::ParseXml(body, root, why)) return false;
  if (root.ns != kDav || root.name != "multistatus") {
    why = "the answer is not a WebDAV multistatus";
    return false;
  }
  for (const os::XmlElement& response : root.children) {
    if (response.ns != kDav || response.name != "response") continue;
    DavResource r;
    r.href = Href(response);
    if (r.href.empty()) continue;
    for (const os::XmlElement& propstat : response.children) {
      if (propstat.ns != kDav || propstat.name != "propstat") continue;
      const os::XmlElement* status = propstat.Child(kDav, "status");
      const os::XmlElement* prop = propstat.Child(kDav, "prop");
      if (!prop || (status && StatusCode(Trimmed(status->text)) != 200)) continue;
      ReadProperties(*prop, r);
    }
    out.push_back(std::move(r));
  }
  return true;
}

std::string RefusalReason(std::string_view body) {
  os::XmlElement root;
  std::string why;
  if (body.find('<') != std::string_view::npos && os::ParseXml(body, root, why)) {
    std::string out;
    if (root.ns == kDav && root.name == "error") {
      std::string message;
      for (const os::XmlElement& c : root.children) {
        if (c.ns == kDav || c.ns == kCardDav) {
          if (!out.empty()) out += ", ";
          out += c.name;
        } else if (c.name == "message" && message.empty()) {
          message = OneLine(c.text);
        }
      }
      if (!message.empty()) out += out.empty() ? message : ": " + message;
      return OneLine(out);
    }
    // An HTML or other page: its first words (a title, a heading).
    FirstText(root, out);
    return OneLine(out);
  }
  // Plain text, or markup no XML parser takes: its text without the tags.
  std::string text;
  bool inTag = false;
  for (char c : body) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') {
      inTag = false;
      text += ' ';
    }
  }
  return OneLine(text);
}

}  // namespace carddav

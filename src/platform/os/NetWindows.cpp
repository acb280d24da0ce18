// The network layer on Windows. This build has no HTTP client yet: the
// CardDAV upload says so instead of failing in some other way.
#include "Net.h"

namespace os {

const std::string* HttpResponse::Header(std::string_view name) const {
  for (const HttpHeader& h : headers)
    if (h.name == name) return &h.value;
  return nullptr;
}

const XmlElement* XmlElement::Child(std::string_view wantNs, std::string_view wantName) const {
  for (const XmlElement& c : children)
    if (c.name == wantName && c.ns == wantNs) return &c;
  return nullptr;
}

const std::string* XmlElement::Attribute(std::string_view wantName) const {
  for (const auto& [name, value] : attributes)
    if (name == wantName) return &value;
  return nullptr;
}

std::unique_ptr<HttpClient> NewHttpClient(const HttpOptions&, std::string& why) {
  why = "uploading to a CardDAV server is not available in this build for Windows";
  return nullptr;
}

bool ParseXml(std::string_view, XmlElement& root, std::string& error) {
  root = {};
  error = "no XML parser in this build";
  return false;
}

bool ReadSecretFromTerminal(const char*, std::string&) { return false; }

}  // namespace os

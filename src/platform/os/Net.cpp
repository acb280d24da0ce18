// The parts of the network layer that are the same on every system.
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

}  // namespace os

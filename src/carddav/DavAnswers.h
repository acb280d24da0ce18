// The parts of WebDAV answers the upload reads (RFC 4918 multistatus,
// RFC 6352 address-book properties, RFC 5397 current-user-principal), and
// the reason a refusal gives. Every parser takes any bytes a server may send.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace carddav {

inline constexpr std::string_view kDav = "DAV:";
inline constexpr std::string_view kCardDav = "urn:ietf:params:xml:ns:carddav";

// One response of a multistatus, with the properties found (status 200).
struct DavResource {
  std::string href;
  bool collection = false;
  bool addressBook = false;
  std::string displayName;
  std::string etag;
  std::string principal;  // current-user-principal's href
  std::string home;       // the first addressbook-home-set href
  bool listsAddressData = false;      // supported-address-data was answered
  std::vector<std::string> versions;  // its text/vcard versions ("3.0", "4.0")
};

// False, with why, when the body is no multistatus.
bool ParseMultistatus(std::string_view body, std::vector<DavResource>& out, std::string& why);

// What a refusal's body says: the preconditions a DAV:error names (RFC 4918
// 16, RFC 6352 6.3.2.1: "no-uid-conflict", "max-resource-size"), with the
// server's own message where it adds one; else the body's first text,
// shortened. Empty when it says nothing.
std::string RefusalReason(std::string_view body);

}  // namespace carddav

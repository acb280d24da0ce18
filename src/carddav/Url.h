// Web addresses as the CardDAV upload meets them: the one the user gives,
// the hrefs and Location headers of the server's answers.
#pragma once

#include <string>
#include <string_view>

namespace carddav {

struct Url {
  std::string scheme;  // "http" or "https", lower case
  std::string host;    // as written; an IPv6 address keeps its brackets
  int port = 0;        // the default of the scheme when none is written
  std::string path;    // from the first "/", with any query; "/" when empty

  std::string Origin() const;  // scheme://host[:port], the port only when not the default
  std::string Text() const { return Origin() + path; }
};

// False for anything but an absolute http or https address with a host
// (user information in it is refused: a password never goes on a command line).
bool ParseUrl(std::string_view text, Url& url);

// A reference of an answer (an absolute address, an absolute path, or a path
// relative to base's folder) made absolute; false when it cannot be.
bool Resolve(const Url& base, std::string_view reference, Url& out);

// The same resource, ignoring a trailing "/".
bool SamePath(std::string_view a, std::string_view b);

}  // namespace carddav

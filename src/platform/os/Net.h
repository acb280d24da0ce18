// What the CardDAV upload needs of the system, behind one small interface:
// HTTP requests on one kept connection (libcurl on Linux, WinHTTP on
// Windows), an XML parser for the servers' answers (libxml2 / XmlLite) and
// a password typed on the terminal without echo. Nothing above this layer
// knows which library answers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace os {

struct HttpHeader {
  std::string name;  // lower case in answers
  std::string value;
};

struct HttpRequest {
  std::string method;
  std::string url;
  std::vector<HttpHeader> headers;
  std::string body;
};

struct HttpResponse {
  int status = 0;
  std::vector<HttpHeader> headers;
  std::string body;
  // The value of the header (name in lower case), or nullptr.
  const std::string* Header(std::string_view name) const;
};

// Why no answer came.
enum class HttpFailure {
  None,
  Unreachable,   // no connection to the host and port (or the name is unknown)
  Certificate,   // the server's certificate could not be verified
  Tls,           // another failure of the secure connection
  TimedOut,      // connecting took over the connect time-out, or a request its own
  Other,
};

struct HttpError {
  HttpFailure kind = HttpFailure::None;
  std::string detail;  // the library's own words
};

struct HttpOptions {
  std::string caFile;  // PEM of a private authority, added to the system's trust; empty: the system's alone
  std::string user;    // empty: no authentication
  std::string password;
  long connectSeconds = 15;
  long requestSeconds = 60;
};

// One client keeps its connection open from one request to the next.
// Certificates are always verified; redirects are not followed (the caller
// decides where credentials may go).
class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // False, with error filled, when no answer came.
  virtual bool Send(const HttpRequest& request, HttpResponse& response, HttpError& error) = 0;
};

// nullptr, with why, where this build has no HTTP client.
std::unique_ptr<HttpClient> NewHttpClient(const HttpOptions& options, std::string& why);

// An element of a parsed document: its namespace and local name, the text
// directly inside it, its child elements.
struct XmlElement {
  std::string ns;
  std::string name;
  std::string text;
  std::vector<std::pair<std::string, std::string>> attributes;  // local name, value
  std::vector<XmlElement> children;
  const XmlElement* Child(std::string_view ns, std::string_view name) const;
  const std::string* Attribute(std::string_view name) const;
};

// Parses a whole document, never fetching anything from outside nor
// expanding entities declared in it; false with error on malformed input.
bool ParseXml(std::string_view text, XmlElement& root, std::string& error);

// Asks on the terminal with the prompt, without echo; false when there is
// no terminal to ask on.
bool ReadSecretFromTerminal(const char* prompt, std::string& secret);

}  // namespace os

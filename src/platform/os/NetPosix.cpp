// The network layer on Linux: libcurl for HTTP, libxml2 for the servers'
// answers, the terminal through termios.
#include <curl/curl.h>
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "Net.h"

namespace os {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<HttpResponse*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.rfind("HTTP/", 0) == 0) {
    // A new answer (after a 100 Continue): only the last one's headers count.
    response->headers.clear();
  } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    response->headers.push_back({Lower(std::string(line.substr(0, colon))), std::string(value)});
  }
  return size * count;
}

HttpFailure Kind(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT: return HttpFailure::Unreachable;
    case CURLE_OPERATION_TIMEDOUT: return HttpFailure::TimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR: return HttpFailure::Certificate;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER: return HttpFailure::Tls;
    default: return HttpFailure::Other;
  }
}

class CurlClient final : public HttpClient {
 public:
  explicit CurlClient(const HttpOptions& options) : options_(options) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
  }
  ~CurlClient() override {
    if (curl_) curl_easy_cleanup(curl_);
  }
  bool ok() const { return curl_ != nullptr; }

  bool Send(const HttpRequest& request, HttpResponse& response, HttpError& error) override {
    response = {};
    error = {};
    CURL* c = curl_;
    // The same handle for every request keeps the connection open; what
    // one request set is set afresh for the next.
    curl_easy_reset(c);
    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, options_.connectSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, options_.requestSeconds);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Addrivo");
    if (!options_.caFile.empty()) {
      // The private authority, and the system's authorities beside it.
      curl_easy_setopt(c, CURLOPT_CAINFO, options_.caFile.c_str());
      curl_easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    if (!options_.user.empty()) {
      curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
    }
    if (request.method == "GET") {
      curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.method.c_str());
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }
    curl_slist* headers = nullptr;
    for (const HttpHeader& h : request.headers) headers = curl_slist_append(headers, (h.name + ": " + h.value).c_str());
    // No waiting for 100 Continue: every body here is small.
    headers = curl_slist_append(headers, "Expect:");
    if (request.method != "GET" && request.body.empty()) headers = curl_slist_append(headers, "Content-Type:");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &response);

    const CURLcode code = curl_easy_perform(c);
    curl_slist_free_all(headers);
    if (code != CURLE_OK) {
      error.kind = Kind(code);
      error.detail = message[0] ? message : curl_easy_strerror(code);
      while (!error.detail.empty() && error.detail.back() == '\n') error.detail.pop_back();
      return false;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    return true;
  }

 private:
  HttpOptions options_;
  CURL* curl_ = nullptr;
};

void Convert(const xmlNode* node, XmlElement& out) {
  out.name = reinterpret_cast<const char*>(node->name);
  if (node->ns && node->ns->href) out.ns = reinterpret_cast<const char*>(node->ns->href);
  for (const xmlAttr* a = node->properties; a; a = a->next) {
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
    out.attributes.emplace_back(reinterpret_cast<const char*>(a->name), value ? reinterpret_cast<const char*>(value) : "");
    xmlFree(value);
  }
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      out.children.emplace_back();
      Convert(child, out.children.back());
    } else if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content) {
      out.text += reinterpret_cast<const char*>(child->content);
    }
  }
}

void IgnoreMessages(void*, const char*, ...) {}

}  // namespace

std::unique_ptr<HttpClient> NewHttpClient(const HttpOptions& options, std::string& why) {
  auto client = std::make_unique<CurlClient>(options);
  if (!client->ok()) {
    why = "libcurl could not be started";
    return nullptr;
  }
  return client;
}

bool ParseXml(std::string_view text, XmlElement& root, std::string& error) {
  root = {};
  if (text.size() > 0x7fffffff) {
    error = "the answer is too large";
    return false;
  }
  // Malformed answers are reported by the caller, not on standard error.
  xmlSetGenericErrorFunc(nullptr, IgnoreMessages);
  // No network, no DTD loading, no entity substitution: an answer can name
  // nothing outside itself.
  xmlDoc* doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "answer.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) {
    const xmlError* e = xmlGetLastError();
    error = e && e->message ? e->message : "not XML";
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
  }
  const xmlNode* top = xmlDocGetRootElement(doc);
  if (!top) {
    xmlFreeDoc(doc);
    error = "no element";
    return false;
  }
  Convert(top, root);
  xmlFreeDoc(doc);
  return true;
}

bool ReadSecretFromTerminal(const char* prompt, std::string& secret) {
  const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) {
    close(fd);
    return false;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  if (write(fd, prompt, std::strlen(prompt)) < 0 || tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
    close(fd);
    return false;
  }
  secret.clear();
  char ch = 0;
  ssize_t n = 0;
  while ((n = read(fd, &ch, 1)) == 1 && ch != '\n' && ch != '\r') secret += ch;
  tcsetattr(fd, TCSAFLUSH, &saved);
  close(fd);
  return n >= 0;
}

}  // namespace os

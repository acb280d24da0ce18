#include "Url.h"

#include <cctype>

namespace carddav {
namespace {

int DefaultPort(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

bool IsPathCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7f && c != '#';
}

}  // namespace

std::string Url::Origin() const {
  std::string out = scheme + "://" + host;
  if (port != DefaultPort(scheme)) out += ":" + std::to_string(port);
  return out;
}

bool ParseUrl(std::string_view text, Url& url) {
  url = {};
  const auto colon = text.find("://");
  if (colon == std::string_view::npos) return false;
  for (char c : text.substr(0, colon)) url.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (url.scheme != "http" && url.scheme != "https") return false;
  std::string_view rest = text.substr(colon + 3);
  const auto slash = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  if (authority.empty() || authority.find('@') != std::string_view::npos) return false;
  std::string_view portText;
  if (authority.front() == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return false;
    url.host = std::string(authority.substr(0, close + 1));
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      portText = after.substr(1);
    }
  } else {
    const auto portColon = authority.find(':');
    url.host = std::string(authority.substr(0, portColon));
    if (portColon != std::string_view::npos) portText = authority.substr(portColon + 1);
  }
  if (url.host.empty() || url.host == "[]") return false;
  for (char c : url.host)
    if (!IsPathCharacter(c) || c == '/' || c == '?') return false;
  url.port = DefaultPort(url.scheme);
  if (!portText.empty()) {
    if (portText.size() > 5) return false;
    int port = 0;
    for (char c : portText) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return false;
    url.port = port;
  }
  if (const auto hash = path.find('#'); hash != std::string_view::npos) path = path.substr(0, hash);
  for (char c : path)
    if (!IsPathCharacter(c)) return false;
  url.path = path.empty() || path.front() != '/' ? "/" + std::string(path) : std::string(path);
  return true;
}

bool Resolve(const Url& base, std::string_view reference, Url& out) {
  while (!reference.empty() && std::isspace(static_cast<unsigned char>(reference.front()))) reference.remove_prefix(1);
  while (!reference.empty() && std::isspace(static_cast<unsigned char>(reference.back()))) reference.remove_suffix(1);
  if (reference.find("://") != std::string_view::npos) return ParseUrl(reference, out);
  if (reference.rfind("//", 0) == 0) return ParseUrl(base.scheme + ":" + std::string(reference), out);
  if (reference.empty()) {
    out = base;
    return true;
  }
  for (char c : reference)
    if (!IsPathCharacter(c)) return false;
  out = base;
  if (reference.front() == '/') {
    out.path = std::string(reference);
  } else {
    std::string folder = base.path.substr(0, base.path.find('?'));
    folder.erase(folder.rfind('/') + 1);
    out.path = folder + std::string(reference);
  }
  if (const auto hash = out.path.find('#'); hash != std::string::npos) out.path.erase(hash);
  return true;
}

bool SamePath(std::string_view a, std::string_view b) {
  if (!a.empty() && a.back() == '/') a.remove_suffix(1);
  if (!b.empty() && b.back() == '/') b.remove_suffix(1);
  return a == b;
}

}  // namespace carddav

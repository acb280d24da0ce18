#include "Upload.h"

#include <algorithm>
#include <cctype>

#include "DavAnswers.h"
#include "Url.h"
#include "export/BookText.h"
#include "platform/automation/Automation.h"

namespace carddav {
namespace {

constexpr int kMaxRedirects = 5;

constexpr const char* kPropfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>"
    "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
    "<c:addressbook-home-set/><c:supported-address-data/>"
    "</d:prop></d:propfind>\n";

std::string XmlEscaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The path segment of a new address book: its name in lower-case letters,
// digits and dashes.
std::string Segment(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) && u < 0x80) {
      out += static_cast<char>(std::tolower(u));
    } else if (!out.empty() && out.back() != '-') {
      out += '-';
    }
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out.empty() ? "addressbook" : out;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string StatusText(const os::HttpResponse& r, const std::string& reason) {
  std::string out = std::to_string(r.status);
  if (!reason.empty()) out += " (" + reason + ")";
  return out;
}

class Session {
 public:
  Session(os::HttpClient& http, const UploadOptions& options, UploadResult& result)
      : http_(http), options_(options), result_(result) {}

  // Sends and follows redirects (never from https down to plain http).
  // False, with the failure set, when no answer came or a 401 did.
  bool Send(os::HttpRequest request, os::HttpResponse& response, Url& at) {
    for (int hop = 0;; ++hop) {
      os::HttpError error;
      request.url = at.Text();
      if (!http_.Send(request, response, error)) {
        Fail(error, at);
        return false;
      }
      if (response.status == 401) {
        result_.failure = options_.signedIn
                              ? "The server " + at.host + " refused the user name or password (401)."
                              : "The server " + at.host + " asks for a user name and password (401).";
        return false;
      }
      const bool redirect = response.status == 301 || response.status == 302 || response.status == 303 ||
                            response.status == 307 || response.status == 308;
      const std::string* location = response.Header("location");
      if (!redirect || !location) return true;
      Url next;
      if (hop == kMaxRedirects || !Resolve(at, *location, next)) {
        result_.failure = "The server at " + at.Text() + " sent a redirect that cannot be followed.";
        return false;
      }
      if (at.scheme == "https" && next.scheme == "http") {
        result_.failure = "The server at " + at.Text() + " redirects to a plain http address (" + next.Text() +
                          "); the password is not sent there.";
        return false;
      }
      at = next;
    }
  }

  bool Propfind(Url& at, int depth, std::vector<DavResource>& out, int& status) {
    os::HttpRequest request;
    request.method = "PROPFIND";
    request.headers = {{"Depth", std::to_string(depth)}, {"Content-Type", "application/xml; charset=utf-8"}};
    request.body = kPropfindBody;
    os::HttpResponse response;
    if (!Send(request, response, at)) return false;
    status = response.status;
    std::string why;
    if (status != 207 || !ParseMultistatus(response.body, out, why)) out.clear();
    return true;
  }

  // The answer about the resource asked for itself (a server may list it
  // under another spelling of its path: then the first).
  static const DavResource* Self(const std::vector<DavResource>& all, const Url& at) {
    for (const DavResource& r : all) {
      Url u;
      if (Resolve(at, r.href, u) && SamePath(u.path, at.path)) return &r;
    }
    return all.empty() ? nullptr : &all.front();
  }

  // Finds or makes the address book; false with the failure set.
  bool FindBook(Url& book, std::vector<std::string>& versions) {
    Url given;
    if (!ParseUrl(options_.url, given)) {
      result_.failure = "\"" + options_.url + "\" is not an http or https address.";
      return false;
    }
    Url at = given;
    std::vector<DavResource> found;
    int status = 0;
    if (!Propfind(at, 0, found, status)) return false;
    const DavResource* self = Self(found, at);
    if (!self || (!self->addressBook && self->home.empty() && self->principal.empty())) {
      // RFC 6764 6: the well-known address of the same server.
      Url wellKnown = given;
      wellKnown.path = "/.well-known/carddav";
      at = wellKnown;
      if (!Propfind(at, 0, found, status)) return false;
      self = Self(found, at);
    }
    if (!self) return NoCardDav(given);
    if (self->addressBook) {
      book = at;
      book.path = WithSlash(book.path);
      versions = self->versions;
      return true;
    }
    Url home;
    if (!self->home.empty()) {
      if (!Resolve(at, self->home, home)) return NoCardDav(given);
    } else if (!self->principal.empty()) {
      Url principal;
      if (!Resolve(at, self->principal, principal)) return NoCardDav(given);
      if (!Propfind(principal, 0, found, status)) return false;
      const DavResource* p = Self(found, principal);
      if (!p || p->home.empty() || !Resolve(principal, p->home, home)) return NoCardDav(given);
    } else {
      return NoCardDav(given);
    }
    home.path = WithSlash(home.path);
    Url listing = home;
    if (!Propfind(listing, 1, found, status)) return false;
    if (status != 207) return NoCardDav(given);
    for (const DavResource& r : found) {
      if (!r.addressBook) continue;
      Url u;
      if (!Resolve(listing, r.href, u)) continue;
      const bool named = r.displayName.empty() ? SamePath(u.path, home.path + Segment(options_.addressBook))
                                               : r.displayName == options_.addressBook;
      if (named) {
        book = u;
        book.path = WithSlash(book.path);
        versions = r.versions;
        return true;
      }
    }
    return MakeBook(listing, book, versions);
  }

  bool MakeBook(const Url& home, Url& book, std::vector<std::string>& versions) {
    book = home;
    book.path = home.path + Segment(options_.addressBook) + "/";
    os::HttpRequest request;
    request.method = "MKCOL";
    request.headers = {{"Content-Type", "application/xml; charset=utf-8"}};
    request.body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<d:mkcol xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop>"
        "<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype><d:displayname>" +
        XmlEscaped(options_.addressBook) + "</d:displayname></d:prop></d:set></d:mkcol>\n";
    os::HttpResponse response;
    Url at = book;
    if (!Send(request, response, at)) return false;
    if (response.status / 100 != 2) {
      result_.failure = "The server did not make the address book \"" + options_.addressBook + "\" at " +
                        book.Text() + ": " + StatusText(response, RefusalReason(response.body)) + ".";
      return false;
    }
    // What the new book takes, where the server says.
    std::vector<DavResource> found;
    int status = 0;
    at = book;
    if (!Propfind(at, 0, found, status)) return false;
    if (const DavResource* self = Self(found, at)) versions = self->versions;
    return true;
  }

  bool NoCardDav(const Url& given) {
    result_.failure = "There is no CardDAV address book at " + given.Text() + ".";
    return false;
  }

  void Fail(const os::HttpError& error, const Url& at) {
    switch (error.kind) {
      case os::HttpFailure::Unreachable:
        result_.failure = "Cannot reach the server " + at.host + " at port " + std::to_string(at.port) + ": " +
                          error.detail + ".";
        break;
      case os::HttpFailure::Certificate:
        result_.failure = "The certificate of " + at.host + " could not be verified: " + error.detail +
                          ". A private certificate authority's certificate can be given with --ca-file.";
        break;
      case os::HttpFailure::Tls:
        result_.failure = "The secure connection to " + at.host + " failed: " + error.detail + ".";
        break;
      case os::HttpFailure::TimedOut:
        result_.failure = "The server " + at.host + " did not answer in time: " + error.detail + ".";
        break;
      default:
        result_.failure = "The request to " + at.host + " failed: " + error.detail + ".";
        break;
    }
  }

  enum class Outcome { Uploaded, Present, Updated, Refused, Stopped };

  Outcome Put(const Url& book, const std::string& uid, const std::string& card, std::string& refusal) {
    Url at = book;
    at.path += uid + ".vcf";
    os::HttpRequest request;
    request.method = "PUT";
    request.headers = {{"Content-Type", "text/vcard; charset=utf-8"}, {"If-None-Match", "*"}};
    request.body = card;
    os::HttpResponse response;
    if (!Send(request, response, at)) return Outcome::Stopped;
    if (response.status / 100 == 2) return Outcome::Uploaded;
    if (response.status != 412) {
      refusal = StatusText(response, RefusalReason(response.body));
      return Outcome::Refused;
    }
    if (!options_.update) return Outcome::Present;

    os::HttpRequest get;
    get.method = "GET";
    os::HttpResponse stored;
    Url where = at;
    if (!Send(get, stored, where)) return Outcome::Stopped;
    if (stored.status == 200 && Comparable(stored.body) == Comparable(card)) return Outcome::Present;
    request.headers.pop_back();
    // Only the card as it was read: a change made meanwhile is not overwritten.
    if (const std::string* etag = stored.Header("etag"); etag && stored.status == 200)
      request.headers.push_back({"If-Match", *etag});
    if (!Send(request, response, at)) return Outcome::Stopped;
    if (response.status / 100 == 2) return Outcome::Updated;
    refusal = StatusText(response, RefusalReason(response.body));
    return Outcome::Refused;
  }

 private:
  os::HttpClient& http_;
  const UploadOptions& options_;
  UploadResult& result_;
};

}  // namespace

std::string Counts(const UploadResult& r) {
  return std::to_string(r.uploaded) + " uploaded, " + std::to_string(r.present) + " already there, " +
         std::to_string(r.updated) + " updated, " + std::to_string(r.refused) + " refused";
}

std::string Comparable(std::string_view card) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < card.size(); ++i) {
    const char c = card[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < card.size() && card[i + 1] == '\n') ++i;
      // A continuation line starts with a space or tab.
      if (i + 1 < card.size() && (card[i + 1] == ' ' || card[i + 1] == '\t')) {
        ++i;
        continue;
      }
      if (!line.empty() && line.rfind("PRODID", 0) != 0) lines.push_back(line);
      line.clear();
      continue;
    }
    line += c;
  }
  if (!line.empty() && line.rfind("PRODID", 0) != 0) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

UploadResult Upload(os::HttpClient& http, const wab::Book& book, const UploadOptions& options) {
  UploadResult result;
  Session session(http, options, result);
  Url bookUrl;
  std::vector<std::string> versions;
  if (!session.FindBook(bookUrl, versions)) return result;
  result.reached = true;
  result.bookUrl = bookUrl.Text();
  // 4.0 with KIND:group where the book says it takes it; else 3.0 with the
  // group cards Apple's and sabre/dav's servers read.
  result.version = std::find(versions.begin(), versions.end(), "4.0") != versions.end() ? exports::VCardVersion::V4
                                                                                        : exports::VCardVersion::V3;
  exports::VCardWriter writer(book, {result.version, true});
  result.cards = book.contacts.size() + book.groups.size();
  exports::ContactProgress progress(options.progress);
  progress.Prepare(static_cast<std::int32_t>(std::min<std::size_t>(result.cards, INT32_MAX)));

  std::string card, refusal;
  // Contacts first: a group's card names its members by theirs.
  const auto one = [&](const wab::Contact& c, bool isGroup) {
    card.clear();
    if (isGroup)
      writer.AppendGroup(static_cast<const wab::Group&>(c), card);
    else
      writer.AppendContact(c, card);
    refusal.clear();
    switch (session.Put(bookUrl, exports::StableUuid(c, isGroup), card, refusal)) {
      case Session::Outcome::Uploaded: ++result.uploaded; break;
      case Session::Outcome::Present: ++result.present; break;
      case Session::Outcome::Updated: ++result.updated; break;
      case Session::Outcome::Refused:
        ++result.refused;
        result.refusals.push_back((isGroup ? "The group \"" : "The contact \"") + exports::FormattedName(c) +
                                  "\" (" + exports::StableUuid(c, isGroup) + ".vcf) was refused: " + refusal + ".");
        break;
      case Session::Outcome::Stopped: return false;
    }
    progress.Advance();
    return true;
  };
  for (const wab::Contact& c : book.contacts)
    if (!one(c, false)) return result;
  for (const wab::Group& g : book.groups)
    if (!one(g, true)) return result;
  result.finished = true;
  result.losses = writer.losses();
  result.losses.skippedRecords = book.skippedRecords;
  return result;
}

exports::ExportOutcome RunUpload(const exports::ExportRequest& request) {
  exports::ExportOutcome outcome;
  outcome.title = exports::kFailureTitle;
  const auto fail = [&](std::string why) {
    outcome.status = exports::ExportOutcome::Status::Failed;
    outcome.message = outcome.cause = std::move(why);
    return outcome;
  };
  wab::Book book;
  try {
    book = wab::LoadBook(request.bookPath);
  } catch (const automation::AutomationError& e) {
    return fail(e.what());
  }
  os::HttpOptions http;
  http.user = request.server.user;
  http.password = request.server.password;
  http.caFile = request.server.caFile;
  std::string why;
  const auto client = os::NewHttpClient(http, why);
  if (!client) return fail(why + ".");
  UploadOptions options;
  options.url = request.server.url;
  options.addressBook = request.server.addressBook;
  options.update = request.server.update;
  options.signedIn = !http.user.empty();
  options.progress = request.progress;
  const UploadResult result = Upload(*client, book, options);
  if (!result.finished) {
    std::string message = result.failure;
    if (result.reached)
      message += "\r\nStopped after " + Counts(result) + " of " + std::to_string(result.cards) +
                 " cards; start it again to go on.";
    return fail(message);
  }
  outcome.status = exports::ExportOutcome::Status::Written;
  outcome.title = exports::kCompletionTitle;
  outcome.contacts = static_cast<std::int32_t>(std::min<std::size_t>(book.contacts.size(), INT32_MAX));
  outcome.outputPath = result.bookUrl;
  outcome.message = "Address book: " + result.bookUrl + "\r\n" + std::to_string(result.cards) +
                    " cards: " + Counts(result) + ".";
  // The first refusals by name; the count says how many there were.
  constexpr std::size_t kNamed = 10;
  for (std::size_t i = 0; i < result.refusals.size() && i < kNamed; ++i) outcome.message += "\r\n" + result.refusals[i];
  if (result.refusals.size() > kNamed)
    outcome.message += "\r\n... and " + std::to_string(result.refusals.size() - kNamed) + " more refused.";
  outcome.loss = result.losses;
  outcome.loss.AppendTo(outcome.message);
  return outcome;
}

}  // namespace carddav

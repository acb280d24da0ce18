// The parsers of CardDAV servers' answers, over answers as Radicale,
// sabre/dav (Nextcloud) and web servers send them.
#include <gtest/gtest.h>

#include "carddav/DavAnswers.h"
#include "carddav/Upload.h"
#include "carddav/Url.h"

namespace {

constexpr const char* kRadicale =
    "<?xml version='1.0' encoding='utf-8'?>\n<multistatus xmlns=\"DAV:\" "
    "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><response><href> /alice/book/ </href><propstat><prop>"
    "<current-user-principal><href>/alice/</href></current-user-principal><resourcetype><CR:addressbook />"
    "<collection /></resourcetype><displayname>WAB Contacts</displayname></prop><status>HTTP/1.1 200 OK</status>"
    "</propstat><propstat><prop><CR:addressbook-home-set><href>/not/</href></CR:addressbook-home-set>"
    "<displayname>other</displayname></prop><status>HTTP/1.1 404 Not Found</status></propstat></response>"
    "</multistatus>";
constexpr const char* kSabre =
    "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:card=\"urn:ietf:params:xml:ns:carddav\">"
    "<d:response><d:href>/dav/u/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/></d:resourcetype>"
    "<card:addressbook-home-set><d:href>/dav/addressbooks/u/</d:href></card:addressbook-home-set>"
    "<card:supported-address-data><card:address-data-type content-type=\"text/vcard\" version=\"3.0\"/>"
    "<card:address-data-type content-type=\"application/vcard+json\" version=\"4.0\"/>"
    "<card:address-data-type version=\"4.0\"/></card:supported-address-data><d:getetag>\"e1\"</d:getetag>"
    "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
    "<d:response><d:propstat/></d:response></d:multistatus>";

TEST(CardDavAnswers, MultistatusTakesOnlyFoundPropertiesInAnyPrefix) {
  std::vector<carddav::DavResource> r;
  std::string why;
  ASSERT_TRUE(carddav::ParseMultistatus(kRadicale, r, why)) << why;
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].href, "/alice/book/");
  EXPECT_TRUE(r[0].addressBook && r[0].collection);
  EXPECT_EQ(r[0].displayName, "WAB Contacts");  // not the 404 propstat's
  EXPECT_EQ(r[0].principal, "/alice/");
  EXPECT_EQ(r[0].home, "");
  EXPECT_FALSE(r[0].listsAddressData);

  ASSERT_TRUE(carddav::ParseMultistatus(kSabre, r, why)) << why;
  ASSERT_EQ(r.size(), 1u);  // a response without href is left out
  EXPECT_FALSE(r[0].addressBook);
  EXPECT_EQ(r[0].home, "/dav/addressbooks/u/");
  EXPECT_EQ(r[0].etag, "\"e1\"");
  // JSON vCards are not ours; a type without content-type is text/vcard.
  EXPECT_EQ(r[0].versions, (std::vector<std::string>{"3.0", "4.0"}));

  for (const char* notOne : {"", "<html><body>hi</body></html>", "<d:multistatus xmlns:d=\"DAV:\">",
                             "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><x>&e;</x>"}) {
    EXPECT_FALSE(carddav::ParseMultistatus(notOne, r, why)) << notOne;
    EXPECT_TRUE(r.empty());
  }
}

struct ReasonCase {
  const char* body;
  std::string reason;
};
void PrintTo(const ReasonCase& c, std::ostream* os) { *os << '"' << c.reason << '"'; }

class RefusalReasonTest : public testing::TestWithParam<ReasonCase> {};

TEST_P(RefusalReasonTest, NamesWhatTheServerSays) { EXPECT_EQ(carddav::RefusalReason(GetParam().body), GetParam().reason); }

INSTANTIATE_TEST_SUITE_P(
    Servers, RefusalReasonTest,
    testing::Values(
        ReasonCase{"<?xml version='1.0'?>\n<error xmlns=\"DAV:\" xmlns:CR=\"urn:ietf:params:xml:ns:carddav\">"
                   "<CR:no-uid-conflict /></error>",
                   "no-uid-conflict"},
        ReasonCase{"<d:error xmlns:d=\"DAV:\" xmlns:s=\"http://sabredav.org/ns\"><s:exception>E</s:exception>"
                   "<s:message>Card too\n  large</s:message><c:max-resource-size "
                   "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"/></d:error>",
                   "max-resource-size: Card too large"},
        ReasonCase{"<html><head><title>413 Request Entity Too Large</title></head><body>x</body></html>",
                   "413 Request Entity Too Large"},
        ReasonCase{"<html><body><p>Bad card<br></body></html>", "Bad card"},
        ReasonCase{"Conflict\r\n", "Conflict"}, ReasonCase{"", ""},
        ReasonCase{"\xc3\xa9\xc3\xa9\xc3\xa9", "\xc3\xa9\xc3\xa9\xc3\xa9"}));

TEST(CardDavAnswers, LongReasonIsShortenedOnACharacterBoundary) {
  std::string body = "x";
  for (int i = 0; i < 300; ++i) body += "\xc3\xa9";
  const std::string reason = carddav::RefusalReason(body);
  EXPECT_LE(reason.size(), 203u);
  EXPECT_EQ(reason.substr(reason.size() - 5), "\xc3\xa9...");
}

struct UrlCase {
  const char* base;
  const char* reference;
  const char* resolved;  // "" when refused
};
void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.base << " + " << c.reference; }

class UrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlTest, ResolvesAnswersAgainstTheRequest) {
  carddav::Url base, out;
  ASSERT_TRUE(carddav::ParseUrl(GetParam().base, base)) << GetParam().base;
  const bool ok = carddav::Resolve(base, GetParam().reference, out);
  EXPECT_EQ(ok ? out.Text() : "", GetParam().resolved);
}

INSTANTIATE_TEST_SUITE_P(
    Hrefs, UrlTest,
    testing::Values(UrlCase{"http://h:5232", "/alice/", "http://h:5232/alice/"},
                    UrlCase{"HTTPS://h:443/a/b/", "c.vcf", "https://h/a/b/c.vcf"},
                    UrlCase{"https://h/a/b", "c/", "https://h/a/c/"},
                    UrlCase{"http://h/.well-known/carddav", "https://dav.h:8443/p/#x", "https://dav.h:8443/p/"},
                    UrlCase{"https://[::1]:8443/x", "//o.example/y", "https://o.example/y"},
                    UrlCase{"http://h/a", " /b ", "http://h/b"}, UrlCase{"http://h/a", "/b c", ""},
                    UrlCase{"http://h/a", "ftp://h/x", ""}, UrlCase{"http://h/a", "http://u:p@h/", ""}));

TEST(CardDavAnswers, AddressesOtherThanHttpAreRefused) {
  carddav::Url u;
  for (const char* bad : {"h/a", "file:///x", "http://", "http://h:0/", "http://h:65536/", "http://h:8x/",
                          "http://[::1/", "http://user:secret@h/"})
    EXPECT_FALSE(carddav::ParseUrl(bad, u)) << bad;
}

TEST(CardDavAnswers, CardsCompareByWhatTheySay) {
  const std::string ours = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Lovelace\r\nUID:1\r\nEND:VCARD\r\n";
  // Refolded, reordered, with the server's PRODID and LF line ends.
  const std::string stored = "BEGIN:VCARD\nVERSION:3.0\nUID:1\nPRODID:-//S//\nFN:Ada Lo\n velace\nEND:VCARD\n";
  EXPECT_EQ(carddav::Comparable(ours), carddav::Comparable(stored));
  EXPECT_NE(carddav::Comparable(ours), carddav::Comparable("BEGIN:VCARD\r\nFN:Ada\r\nUID:1\r\nEND:VCARD\r\n"));
}

}  // namespace

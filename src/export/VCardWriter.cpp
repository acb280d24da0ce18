#include "VCardWriter.h"

#include <array>
#include <cctype>
#include <cstdint>

namespace exports {
namespace {

constexpr std::size_t kMaxLineOctets = 75;  // RFC 6350 3.2, RFC 2426 2.6

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

const char* PhoneTypes(PhoneKind kind, bool v4) {
  switch (kind) {
    case PhoneKind::WorkVoice: return v4 ? "TEL;TYPE=work,voice" : "TEL;TYPE=WORK,VOICE";
    case PhoneKind::WorkFax: return v4 ? "TEL;TYPE=work,fax" : "TEL;TYPE=WORK,FAX";
    case PhoneKind::Pager: return v4 ? "TEL;TYPE=pager" : "TEL;TYPE=PAGER";
    case PhoneKind::IpPhone: return v4 ? "TEL;TYPE=work,x-ip" : "TEL;TYPE=WORK,X-IP";
    case PhoneKind::HomeVoice: return v4 ? "TEL;TYPE=home,voice" : "TEL;TYPE=HOME,VOICE";
    case PhoneKind::HomeFax: return v4 ? "TEL;TYPE=home,fax" : "TEL;TYPE=HOME,FAX";
    case PhoneKind::Mobile: return v4 ? "TEL;TYPE=cell" : "TEL;TYPE=CELL";
  }
  return "TEL";
}

// RFC 2426 lists INTERNET and X400; anything else goes as an x-name.
std::string EmailType3(const std::string& type) {
  if (type.empty() || type == "SMTP" || type == "smtp") return "INTERNET";
  if (type == "X400") return "X400";
  std::string out = "X-";
  for (char c : type) out += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '-';
  return out;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool escapeSemicolon) {
  // One table lookup a byte: the characters that need a backslash.
  static constexpr auto kSpecial = [] {
    std::array<std::uint8_t, 256> t{};
    t['\\'] = t[','] = t['\r'] = t['\n'] = 1;
    t[';'] = 2;
    return t;
  }();
  const std::uint8_t mask = escapeSemicolon ? 3 : 1;
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!(kSpecial[static_cast<unsigned char>(c)] & mask)) continue;
    // Runs of plain characters go over in one piece.
    out.append(text.data() + from, i - from);
    from = i + 1;
    switch (c) {
      case '\\': out += "\\\\"; break;
      case ',': out += "\\,"; break;
      case ';': out += "\\;"; break;
      case '\r':
        out += "\\n";
        if (from < text.size() && text[from] == '\n') i = from++;
        break;
      default: out += "\\n"; break;  // '\n'
    }
  }
  out.append(text.data() + from, text.size() - from);
}

void AppendContentLine(std::string& out, std::string_view name, std::string_view value, bool fold) {
  const std::size_t total = name.size() + 1 + value.size();
  if (!fold || total <= kMaxLineOctets) {
    out += name;
    out += ':';
    out += value;
    out += "\r\n";
    return;
  }
  std::string line;
  line.reserve(total);
  line += name;
  line += ':';
  line += value;
  std::size_t at = 0;
  std::size_t room = kMaxLineOctets;  // the first line; later ones lose one octet to the space
  while (line.size() - at > room) {
    std::size_t cut = at + room;
    while (cut > at && IsContinuationByte(line[cut])) --cut;
    if (cut == at) cut = at + room;  // not UTF-8 at all: cut where it falls
    out.append(line, at, cut - at);
    out += "\r\n ";
    at = cut;
    room = kMaxLineOctets - 1;
  }
  out.append(line, at, std::string::npos);
  out += "\r\n";
}

VCardWriter::VCardWriter(const wab::Book& book, VCardOptions options)
    : index_(book), options_(options) {}

void VCardWriter::Line(std::string_view name, std::string_view value, std::string& out) {
  AppendContentLine(out, name, value, options_.fold);
}

// Text values escape semicolons in 3.0 always, in 4.0 only inside
// structured values (done by the callers that build those).
void VCardWriter::Text(std::string& into, std::string_view value) {
  AppendEscaped(into, value, options_.version == VCardVersion::V3);
}

void VCardWriter::CommonProperties(const wab::Contact& c, std::string& out) {
  using wab::Field;
  const bool v4 = options_.version == VCardVersion::V4;
  auto text = [&](std::string_view name, std::string_view value) {
    if (value.empty()) return;
    value_.clear();
    Text(value_, value);
    Line(name, value_, out);
  };
  // Structured values: components split by ';', each escaped fully.
  auto structured = [&](std::string_view name, std::initializer_list<std::string_view> parts, bool always) {
    bool any = false;
    for (auto p : parts) any = any || !p.empty();
    if (!any && !always) return;
    value_.clear();
    bool first = true;
    for (auto p : parts) {
      if (!first) value_ += ';';
      first = false;
      AppendEscaped(value_, p, true);
    }
    Line(name, value_, out);
  };
  auto raw = [&](std::string_view name, std::string_view value) {
    if (value.empty()) return;
    value_.clear();
    // URIs keep their characters; only line breaks could break the line.
    for (char ch : value) value_ += (ch == '\r' || ch == '\n') ? ' ' : ch;
    Line(name, value_, out);
  };

  text("FN", FormattedName(c));
  // N is required in 3.0 (RFC 2426 3.1.2); 4.0 may leave it out, but
  // address books and phones expect it, so empty parts when there is no name.
  structured("N",
             {c[Field::Surname], c[Field::GivenName], c[Field::MiddleName], c[Field::Prefix], c[Field::Suffix]},
             true);
  text("NICKNAME", c[Field::Nickname]);
  text("X-PHONETIC-FIRST-NAME", c[Field::PhoneticGivenName]);
  text("X-PHONETIC-LAST-NAME", c[Field::PhoneticSurname]);

  for (const wab::EmailAddress* e : EmailsDefaultFirst(c)) {
    if (e->address.empty()) continue;
    std::string name = "EMAIL";
    if (v4) {
      if (e->isDefault) name += ";PREF=1";
    } else {
      name += ";TYPE=" + EmailType3(e->type);
      if (e->isDefault) name += ",PREF";
    }
    text(name, e->address);
  }
  for (const PhoneField& p : kPhoneFields) text(PhoneTypes(p.kind, v4), c[p.field]);

  structured(v4 ? "ADR;TYPE=home" : "ADR;TYPE=HOME",
             {"", "", c[Field::HomeStreet], c[Field::HomeCity], c[Field::HomeState], c[Field::HomePostalCode],
              c[Field::HomeCountry]},
             false);
  structured(v4 ? "ADR;TYPE=work" : "ADR;TYPE=WORK",
             {"", "", c[Field::BusinessStreet], c[Field::BusinessCity], c[Field::BusinessState],
              c[Field::BusinessPostalCode], c[Field::BusinessCountry]},
             false);
  // "ORG:Acme;" would read as an empty unit in some readers: the name alone
  // when there is no department.
  if (c[Field::Department].empty())
    structured("ORG", {c[Field::Company]}, false);
  else
    structured("ORG", {c[Field::Company], c[Field::Department]}, false);
  text("TITLE", c[Field::JobTitle]);
  text("X-OFFICE", c[Field::Office]);
  text("X-MS-IMADDRESS", c[Field::Im]);
  raw(v4 ? "URL;TYPE=home" : "URL;TYPE=HOME", c[Field::PersonalWeb]);
  raw(v4 ? "URL;TYPE=work" : "URL;TYPE=WORK", c[Field::BusinessWeb]);

  // Dates as dates: never through a time zone.
  if (v4) {
    raw("BDAY", IsoDateBasic(c.birthday));
    raw("ANNIVERSARY", IsoDateBasic(c.anniversary));
    if (c.gender != wab::Gender::Unspecified) raw("GENDER", c.gender == wab::Gender::Male ? "M" : "F");
    text("RELATED;TYPE=spouse;VALUE=text", c[Field::Spouse]);
    for (const auto& child : c.children) text("RELATED;TYPE=child;VALUE=text", child);
  } else {
    raw("BDAY;VALUE=date", IsoDate(c.birthday));
    raw("X-ANNIVERSARY", IsoDate(c.anniversary));
    if (c.gender != wab::Gender::Unspecified) raw("X-GENDER", c.gender == wab::Gender::Male ? "Male" : "Female");
    text("X-SPOUSE", c[Field::Spouse]);
    // One line per child: readers take an unknown property as one text,
    // so a comma-separated list would come back as its first name only.
    for (const auto& child : c.children) text("X-CHILDREN", child);
  }
  text("NOTE", c[Field::Notes]);
}

void VCardWriter::AppendContact(const wab::Contact& c, std::string& out) {
  const bool v4 = options_.version == VCardVersion::V4;
  out += v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n";
  CommonProperties(c, out);
  index_.Note(c);
  const auto groups = index_.GroupNames(c);
  if (!groups.empty()) {
    value_.clear();
    for (std::size_t i = 0; i < groups.size(); ++i) {
      if (i) value_ += ',';
      Text(value_, groups[i]);
    }
    Line("CATEGORIES", value_, out);
  }
  Line("UID", (v4 ? "urn:uuid:" : "") + StableUuid(c, false), out);
  if (c.modified) Line("REV", IsoTimestamp(*c.modified, v4), out);
  out += "END:VCARD\r\n";
}

void VCardWriter::AppendGroup(const wab::Group& g, std::string& out) {
  const bool v4 = options_.version == VCardVersion::V4;
  out += v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n";
  CommonProperties(g, out);
  if (!v4) Line("X-ADDRESSBOOKSERVER-KIND", "group", out);
  const char* member = v4 ? "MEMBER" : "X-ADDRESSBOOKSERVER-MEMBER";
  for (const wab::Member& m : g.members) {
    switch (m.kind) {
      case wab::Member::Kind::Record:
        if (const BookIndex::MemberContact* c = index_.Contact(m.id)) {
          Line(member, "urn:uuid:" + c->uuid, out);
        } else if (const wab::Group* sub = index_.Group(m.id)) {
          Line(member, "urn:uuid:" + StableUuid(*sub, true), out);
        } else {
          ++losses_.missingMembers;
        }
        break;
      case wab::Member::Kind::Missing: ++losses_.missingMembers; break;
      case wab::Member::Kind::OneOff:
        // RFC 6350 6.6.5 allows a mailto: member; the 3.0 convention is read
        // by the same programs.
        if (m.email.empty()) {
          ++losses_.addressMembers;
        } else {
          std::string uri = "mailto:";
          for (char ch : m.email) uri += (ch == '\r' || ch == '\n') ? ' ' : ch;
          Line(member, uri, out);
        }
        break;
    }
  }
  Line("UID", (v4 ? "urn:uuid:" : "") + StableUuid(g, true), out);
  if (g.modified) Line("REV", IsoTimestamp(*g.modified, v4), out);
  out += "END:VCARD\r\n";
}

}  // namespace exports

#include "CsvWriter.h"

#include <algorithm>
#include <array>
#include <deque>
#include <stdexcept>

namespace exports {
namespace {

using wab::Field;

// Outlook's own field names for import and export, as Outlook writes them in
// its English "Comma Separated Values" export and as its field list shows
// them ("Outlook Contact Fields", https://www.spstechnical.com/outlook_contacts_schema.htm).
// The ones the book fills, in the order Outlook writes them.
constexpr std::array<const char*, 42> kOutlookHeaders{
    "Title", "First Name", "Middle Name", "Last Name", "Suffix", "Company", "Department", "Job Title",
    "Business Street", "Business City", "Business State", "Business Postal Code",
    "Business Country/Region", "Home Street", "Home City", "Home State", "Home Postal Code",
    "Home Country/Region", "Business Fax", "Business Phone", "Home Fax", "Home Phone", "Mobile Phone",
    "Pager", "Anniversary", "Birthday", "Categories", "Children", "E-mail Address", "E-mail Type",
    "E-mail Display Name", "E-mail 2 Address", "E-mail 2 Type", "E-mail 2 Display Name",
    "E-mail 3 Address", "E-mail 3 Type", "E-mail 3 Display Name", "Gender", "Notes", "Office Location",
    "Spouse", "Web Page"};
constexpr std::size_t kOutlookEmailSlots = 3;

// Found when the table is built, so a header missing from it fails to compile.
constexpr std::size_t OutlookColumn(std::string_view header) {
  for (std::size_t i = 0; i < kOutlookHeaders.size(); ++i)
    if (header == kOutlookHeaders[i]) return i;
  throw "not an Outlook header";
}

// Fields that sit in a named Outlook column.
struct Placed {
  Field field;
  std::size_t column;
  constexpr Placed(Field f, const char* header) : field(f), column(OutlookColumn(header)) {}
};
constexpr std::array<Placed, 28> kOutlookPlaced{{
    {Field::Prefix, "Title"},
    {Field::GivenName, "First Name"},
    {Field::MiddleName, "Middle Name"},
    {Field::Surname, "Last Name"},
    {Field::Suffix, "Suffix"},
    {Field::Company, "Company"},
    {Field::Department, "Department"},
    {Field::JobTitle, "Job Title"},
    {Field::BusinessStreet, "Business Street"},
    {Field::BusinessCity, "Business City"},
    {Field::BusinessState, "Business State"},
    {Field::BusinessPostalCode, "Business Postal Code"},
    {Field::BusinessCountry, "Business Country/Region"},
    {Field::HomeStreet, "Home Street"},
    {Field::HomeCity, "Home City"},
    {Field::HomeState, "Home State"},
    {Field::HomePostalCode, "Home Postal Code"},
    {Field::HomeCountry, "Home Country/Region"},
    {Field::BusinessFax, "Business Fax"},
    {Field::BusinessPhone, "Business Phone"},
    {Field::HomeFax, "Home Fax"},
    {Field::HomePhone, "Home Phone"},
    {Field::Mobile, "Mobile Phone"},
    {Field::Pager, "Pager"},
    {Field::Office, "Office Location"},
    {Field::Spouse, "Spouse"},
    {Field::BusinessWeb, "Web Page"},
    {Field::Notes, "Notes"},
}};

// Fields Outlook's export has no column for: they go into the notes under
// these labels.
struct Labelled {
  Field field;
  const char* label;
};
constexpr std::array<Labelled, 6> kOutlookInNotes{{
    {Field::Nickname, "Nickname"},
    {Field::PhoneticGivenName, "Phonetic first name"},
    {Field::PhoneticSurname, "Phonetic last name"},
    {Field::Im, "IM address"},
    {Field::IpPhone, "IP phone"},
    {Field::PersonalWeb, "Personal web page"},
}};

// Google Contacts' header names as its "Google CSV" export writes them:
// "Given Name", "Family Name", "Group Membership" joined by " ::: ",
// "E-mail N - Type"/"- Value", "Phone N - ...", "Website N - ..." (as quoted
// in owncloud-archive/contacts#785 and #820, and as the public reader
// github.com/azamatbayramov/GoogleCSVLoader looks them up). Numbered groups
// of columns grow with the book.
const char* GooglePhoneType(PhoneKind kind) {
  switch (kind) {
    case PhoneKind::WorkVoice: return "Work";
    case PhoneKind::WorkFax: return "Work Fax";
    case PhoneKind::Pager: return "Pager";
    case PhoneKind::IpPhone: return "IP Phone";
    case PhoneKind::HomeVoice: return "Home";
    case PhoneKind::HomeFax: return "Home Fax";
    case PhoneKind::Mobile: return "Mobile";
  }
  return "Other";
}

// "M/D/YYYY", as Outlook's English export writes dates.
// A column index fixed at compile time.
template <std::size_t N>
constexpr std::size_t Col() {
  return N;
}

std::string UsDate(const wab::Date& d) {
  if (!IsCalendarDate(d)) return {};
  return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

// True when the display name says no more than the name parts do, in
// either order, with or without spaces.
bool DisplayNameFromParts(const wab::Contact& c) {
  const std::string& d = c.displayName;
  if (d.empty()) return true;
  std::vector<std::string> parts;
  for (Field f : {Field::Prefix, Field::GivenName, Field::MiddleName, Field::Surname, Field::Suffix})
    if (!c[f].empty()) parts.push_back(c[f]);
  if (parts.empty()) return false;
  std::string squeezed;
  for (char ch : d)
    if (ch != ' ') squeezed += ch;
  std::sort(parts.begin(), parts.end());
  do {
    std::string joined;
    for (const auto& p : parts)
      for (char ch : p)
        if (ch != ' ') joined += ch;
    if (joined == squeezed) return true;
  } while (std::next_permutation(parts.begin(), parts.end()));
  return false;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view value) {
  // One table lookup a byte for the characters that need quotes.
  static constexpr auto kQuoted = [] {
    std::array<bool, 256> t{};
    t[','] = t['"'] = t['\r'] = t['\n'] = true;
    return t;
  }();
  bool quote = false;
  for (unsigned char c : value)
    if (kQuoted[c]) {
      quote = true;
      break;
    }
  if (!quote) {
    out += value;
    return;
  }
  out += '"';
  std::size_t from = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '"') continue;
    out.append(value.data() + from, i + 1 - from);
    out += '"';
    from = i + 1;
  }
  out.append(value.data() + from, value.size() - from);
  out += '"';
}

bool RunsAsFormula(std::string_view value) {
  if (value.empty()) return false;
  const char first = value[0];
  if (first == '=' || first == '@' || first == '\t' || first == '\r') return true;
  if (first != '+' && first != '-') return false;
  // A signed number or a phone number ("+1 555 0100", "-12.5") holds
  // nothing a spreadsheet could run: digits, blanks and ()-./ only.
  bool digit = false;
  for (char c : value.substr(1)) {
    if (c >= '0' && c <= '9') digit = true;
    else if (c != ' ' && c != '(' && c != ')' && c != '-' && c != '.' && c != '/') return true;
  }
  return !digit;
}

void GoogleColumns::Fit(const wab::Contact& c) {
  std::size_t filled = 0;
  for (const PhoneField& p : kPhoneFields) filled += !c[p.field].empty();
  emails = std::max(emails, c.emails.size());
  phones = std::max(phones, filled);
  relations = std::max(relations, c.children.size() + !c[Field::Spouse].empty());
}

const wab::FieldSet& GoogleColumns::Fields() {
  static const wab::FieldSet fields = [] {
    wab::FieldSet f{};
    for (const PhoneField& p : kPhoneFields) f[static_cast<std::size_t>(p.field)] = true;
    f[static_cast<std::size_t>(Field::Spouse)] = true;
    return f;
  }();
  return fields;
}

namespace {
GoogleColumns FittedTo(const wab::Book& book) {
  GoogleColumns columns;
  for (const auto& c : book.contacts) columns.Fit(c);
  return columns;
}
}  // namespace

CsvWriter::CsvWriter(const wab::Book& book, CsvLayout layout)
    : CsvWriter(book, layout, layout == CsvLayout::Google ? FittedTo(book) : GoogleColumns{}) {}

CsvWriter::CsvWriter(const wab::Book& outline, CsvLayout layout, const GoogleColumns& columns)
    : book_(outline), index_(outline), layout_(layout), google_(columns) {
  if (layout_ == CsvLayout::Outlook) {
    headers_.assign(kOutlookHeaders.begin(), kOutlookHeaders.end());
  } else {
    headers_ = {"Name",           "Given Name",       "Additional Name", "Family Name", "Given Name Yomi",
                "Family Name Yomi", "Name Prefix",    "Name Suffix",     "Nickname",    "Birthday",
                "Gender",         "Notes",            "Group Membership"};
    auto numbered = [&](const char* what, std::size_t n, std::initializer_list<const char*> parts) {
      for (std::size_t i = 1; i <= n; ++i)
        for (const char* part : parts) headers_.push_back(std::string(what) + " " + std::to_string(i) + " - " + part);
    };
    numbered("E-mail", google_.emails, {"Type", "Value"});
    numbered("Phone", google_.phones, {"Type", "Value"});
    numbered("Address", 2, {"Type", "Formatted", "Street", "City", "Region", "Postal Code", "Country"});
    numbered("Organization", 1, {"Type", "Name", "Title", "Department", "Location"});
    numbered("Website", 2, {"Type", "Value"});
    numbered("Relation", google_.relations, {"Type", "Value"});
    numbered("Event", 1, {"Type", "Value"});
    numbered("IM", 1, {"Type", "Value"});
  }
  row_.resize(headers_.size());
}

void CsvWriter::AppendHeader(std::string& out) const {
  if (layout_ == CsvLayout::Outlook) out += "\xEF\xBB\xBF";
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    if (i) out += ',';
    AppendCsvField(out, headers_[i]);
  }
  out += "\r\n";
}

void CsvWriter::AppendContact(const wab::Contact& c, std::string& out) {
  index_.Note(c);
  for (auto& v : row_) v = {};
  owned_.clear();
  if (layout_ == CsvLayout::Outlook)
    OutlookRow(c);
  else
    GoogleRow(c);
  for (std::size_t i = 0; i < row_.size(); ++i) {
    if (i) out += ',';
    if (RunsAsFormula(row_[i])) {
      // Neutralised as the CSV-injection guidance (OWASP) says: a leading
      // apostrophe makes the cell text, in Excel and LibreOffice alike.
      AppendCsvField(out, Own("'" + std::string(row_[i])));
      ++losses_.formulaCells;
    } else {
      AppendCsvField(out, row_[i]);
    }
  }
  out += "\r\n";
}

void CsvWriter::OutlookRow(const wab::Contact& c) {
  for (const Placed& p : kOutlookPlaced) row_[p.column] = c[p.field];
  std::vector<std::string> notes;
  // Outlook's layout has no column for the name as a whole: a contact known
  // only by it keeps it as the first name, and a display name the parts do
  // not spell goes into the notes.
  if (c[Field::GivenName].empty() && c[Field::MiddleName].empty() && c[Field::Surname].empty()) {
    row_[Col<OutlookColumn("First Name")>()] = c.displayName;
  } else if (!DisplayNameFromParts(c)) {
    notes.push_back("Display name: " + c.displayName);
    ++losses_.valuesInNotes;
  }
  const auto emails = EmailsDefaultFirst(c);
  std::size_t slot = 0;
  for (const wab::EmailAddress* e : emails) {
    if (e->address.empty()) continue;
    if (slot < kOutlookEmailSlots) {
      const std::size_t col = Col<OutlookColumn("E-mail Address")>() + slot * 3;
      row_[col] = e->address;
      row_[col + 1] = e->type.empty() ? std::string_view("SMTP") : std::string_view(e->type);
      const std::string name = FormattedName(c);
      row_[col + 2] = name == e->address ? std::string_view(e->address) : Own(name + " (" + e->address + ")");
    } else {
      notes.push_back("E-mail: " + e->address);
      ++losses_.emailsInNotes;
    }
    ++slot;
  }
  for (const Labelled& l : kOutlookInNotes) {
    if (c[l.field].empty()) continue;
    notes.push_back(std::string(l.label) + ": " + c[l.field]);
    ++losses_.valuesInNotes;
  }
  if (IsCalendarDate(c.birthday)) row_[Col<OutlookColumn("Birthday")>()] = Own(UsDate(c.birthday));
  if (IsCalendarDate(c.anniversary)) row_[Col<OutlookColumn("Anniversary")>()] = Own(UsDate(c.anniversary));
  if (!c.children.empty()) row_[Col<OutlookColumn("Children")>()] = Own(Join(c.children, ", "));
  if (!c.groups.empty()) row_[Col<OutlookColumn("Categories")>()] = Own(Join(index_.GroupNames(c), ";"));
  row_[Col<OutlookColumn("Gender")>()] = c.gender == wab::Gender::Male     ? "Male"
                                  : c.gender == wab::Gender::Female ? "Female"
                                                                    : "Unspecified";
  if (!notes.empty()) {
    std::string n(row_[Col<OutlookColumn("Notes")>()]);
    if (!n.empty()) n += "\r\n\r\n";
    n += Join(notes, "\r\n");
    row_[Col<OutlookColumn("Notes")>()] = Own(std::move(n));
  }
}

void CsvWriter::GoogleRow(const wab::Contact& c) {
  // Counts fitted in an earlier pass cannot hold a contact of a book that
  // changed since: refuse rather than write past the record's end.
  GoogleColumns need;
  need.Fit(c);
  if (need.emails > google_.emails || need.phones > google_.phones || need.relations > google_.relations)
    throw std::runtime_error("the address book changed while it was being read");
  std::size_t col = 0;
  auto put = [&](std::string_view value) { row_[col++] = value; };
  put(Own(FormattedName(c)));
  put(c[Field::GivenName]);
  put(c[Field::MiddleName]);
  put(c[Field::Surname]);
  put(c[Field::PhoneticGivenName]);
  put(c[Field::PhoneticSurname]);
  put(c[Field::Prefix]);
  put(c[Field::Suffix]);
  put(c[Field::Nickname]);
  put(Own(IsoDate(c.birthday)));
  put(c.gender == wab::Gender::Male ? "male" : c.gender == wab::Gender::Female ? "female" : "");
  put(c[Field::Notes]);
  put(c.groups.empty() ? std::string_view() : Own(Join(index_.GroupNames(c), " ::: ")));

  const std::size_t emailStart = col;
  for (const wab::EmailAddress* e : EmailsDefaultFirst(c)) {
    // Google marks the primary value's type with "* ".
    row_[col++] = e->isDefault ? "* Other" : "Other";
    row_[col++] = e->address;
  }
  col = emailStart + 2 * google_.emails;
  const std::size_t phoneStart = col;
  for (const PhoneField& p : kPhoneFields) {
    if (c[p.field].empty()) continue;
    row_[col++] = GooglePhoneType(p.kind);
    row_[col++] = c[p.field];
  }
  col = phoneStart + 2 * google_.phones;
  auto address = [&](const char* type, Field street, Field city, Field region, Field code, Field country) {
    const bool any = !c[street].empty() || !c[city].empty() || !c[region].empty() || !c[code].empty() ||
                     !c[country].empty();
    if (!any) {
      col += 7;
      return;
    }
    std::string formatted = c[street];
    std::string line2 = c[city];
    if (!c[region].empty()) line2 += (line2.empty() ? "" : ", ") + c[region];
    if (!c[code].empty()) line2 += (line2.empty() ? "" : " ") + c[code];
    for (const std::string* l : std::initializer_list<const std::string*>{&line2, &c[country]})
      if (!l->empty()) formatted += (formatted.empty() ? "" : "\r\n") + *l;
    put(type);
    put(Own(std::move(formatted)));
    put(c[street]);
    put(c[city]);
    put(c[region]);
    put(c[code]);
    put(c[country]);
  };
  address("Home", Field::HomeStreet, Field::HomeCity, Field::HomeState, Field::HomePostalCode, Field::HomeCountry);
  address("Work", Field::BusinessStreet, Field::BusinessCity, Field::BusinessState, Field::BusinessPostalCode,
          Field::BusinessCountry);
  const bool org = !c[Field::Company].empty() || !c[Field::JobTitle].empty() || !c[Field::Department].empty() ||
                   !c[Field::Office].empty();
  put(org ? "Work" : "");
  put(c[Field::Company]);
  put(c[Field::JobTitle]);
  put(c[Field::Department]);
  put(c[Field::Office]);
  const std::size_t webStart = col;
  for (auto [type, field] : {std::pair{"Home Page", Field::PersonalWeb}, std::pair{"Work", Field::BusinessWeb}}) {
    if (c[field].empty()) continue;
    row_[col++] = type;
    row_[col++] = c[field];
  }
  col = webStart + 4;
  const std::size_t relationStart = col;
  if (!c[Field::Spouse].empty()) {
    row_[col++] = "Spouse";
    row_[col++] = c[Field::Spouse];
  }
  for (const auto& child : c.children) {
    row_[col++] = "Child";
    row_[col++] = child;
  }
  col = relationStart + 2 * google_.relations;
  if (IsCalendarDate(c.anniversary)) {
    put("Anniversary");
    put(Own(IsoDate(c.anniversary)));
  } else {
    col += 2;
  }
  if (!c[Field::Im].empty()) {
    put("Other");
    put(c[Field::Im]);
  }
}

void CsvWriter::CountGroupLosses() {
  for (const wab::Group& g : book_.groups) {
    // A group is only a name in "Group Membership": its own fields have no column.
    for (const auto& f : g.fields) losses_.groupFields += !f.empty();
    losses_.groupFields += static_cast<std::int64_t>(g.emails.size());
    for (const wab::Member& m : g.members) {
      switch (m.kind) {
        case wab::Member::Kind::Record:
          if (index_.Contact(m.id)) break;
          if (index_.Group(m.id))
            ++losses_.nestedGroups;
          else
            ++losses_.missingMembers;
          break;
        case wab::Member::Kind::Missing: ++losses_.missingMembers; break;
        case wab::Member::Kind::OneOff: ++losses_.addressMembers; break;
      }
    }
  }
}

}  // namespace exports

#include "ContactDetailView.h"

#include <cstdio>
#include <utility>

#include "platform/wab/WabBook.h"
#include "scan/ContactRecord.h"

namespace forms {
namespace {

constexpr const char* kPicture = "ImgContact";
constexpr const char* kHeader = "LblTopName";
constexpr const char* kEmails = "lstEmails";
constexpr const char* kMembers = "lstGroupMembers";
constexpr const char* kPlace = "lblContactPlace";
constexpr const char* kEmailBox = "txtEmail";

std::string Join(const std::vector<std::string>& parts, const std::string& between) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? between : std::string()) + parts[i];
  return out;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

const std::array<const char*, 21>& ContactDetailView::MappedBoxNames() {
  static const std::array<const char*, 21> names{
      "txtFirstName",        "txtMiddleName",     "txtLastName",         "txtEmail",
      "txtCompany",          "txtBusinessStreet", "txtBusinessCity",     "txtBusinessZip",
      "txtBusinessState",    "txtBusinessCountry", "txtBusinessLocation", "txtBusinessWebpage",
      "txtBusinessDept",     "txtBusinessPhone",  "txtBusinessFax",      "txtBusinessCellPhone",
      "txtHomeStreet",       "txtHomeCountry",    "txtHomePhone",        "txtHomeFax",
      "txtComments"};
  return names;
}

const std::array<const char*, 11>& ContactDetailView::UnfilledBoxNames() {
  static const std::array<const char*, 11> names{
      "txtJobTitle", "txtBusinessPager", "txtBusinessIPPhone", "txtHomeCity", "txtHomeState", "txtHomeZip",
      "txtSpouse",   "txtChildren",      "txtHomeCellPhone",   "txtBirthday", "txtAnniversary"};
  return names;
}

const std::vector<ContactDetailView::Caption>& ContactDetailView::Captions() {
  static const std::vector<Caption> captions{
      {"txtFirstName", "First"},          {"txtMiddleName", "Middle"},
      {"txtLastName", "Last"},            {"txtEmail", "Email"},
      {"txtCompany", "Company"},          {"txtJobTitle", "Job Title"},
      {"txtBusinessStreet", "Street"},    {"txtBusinessCity", "City"},
      {"txtBusinessZip", "Zip"},          {"txtBusinessState", "State"},
      {"txtBusinessCountry", "Country"},  {"txtBusinessLocation", "Location"},
      {"txtBusinessWebpage", "Web page"}, {"txtBusinessDept", "Dept"},
      {"txtBusinessPhone", "Office Phone"}, {"txtBusinessFax", "Office Fax"},
      {"txtBusinessCellPhone", "Cell Phone"}, {"txtBusinessPager", "Pager"},
      {"txtBusinessIPPhone", "IP Phone"}, {"txtHomeStreet", "Street"},
      {"txtHomeCity", "City"},            {"txtHomeState", "State"},
      {"txtHomeZip", "Zip"},              {"txtHomeCountry", "Country"},
      {"txtSpouse", "Spouse"},            {"txtChildren", "Children"},
      {"txtHomePhone", "Home Phone"},     {"txtHomeFax", "Home Fax"},
      {"txtHomeCellPhone", "Cell Phone"}, {"txtBirthday", "Birthday"},
      {"txtAnniversary", "Anniversary"},  {"txtComments", "Comments"},
  };
  return captions;
}

const char* ContactDetailView::CaptionOf(std::string_view box) {
  for (const Caption& c : Captions())
    if (box == c.control) return c.text;
  return "";
}

void ContactDetailView::Form_Load() {
  view_.SetText("OsenXPFrame1", kFrameCaption);
  for (std::size_t i = 0; i < kTabCaptions.size(); ++i)
    view_.SetText("OsenXPTab1." + std::to_string(i + 1), kTabCaptions[i]);
  view_.SetVisible(kPicture, false);
  pictureShown_ = false;
  header_.clear();
  view_.SetText(kHeader, header_);
  for (const char* box : MappedBoxNames()) SetBox(box, {});
  for (const char* box : UnfilledBoxNames()) SetBox(box, {});
  ClearExtras();
}

void ContactDetailView::SetBox(std::string_view box, const std::string& text) { view_.SetText(box, text); }

void ContactDetailView::ClearExtras() {
  place_.clear();
  view_.SetItems(kEmails, {});
  view_.SetVisible(kEmails, false);
  view_.SetItems(kMembers, {});
  view_.SetVisible(kMembers, false);
  view_.SetText(kPlace, {});
  view_.SetToolTip(kEmailBox, {});
}

std::string ContactDetailView::HeaderName(const std::vector<std::string>& parts) {
  auto part = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string(); };
  if (!part(1).empty()) return part(0) + ' ' + part(1) + ' ' + part(2);
  return part(0) + ' ' + part(2);
}

void ContactDetailView::ShowRecord(const std::string& recordText) {
  if (recordText.empty()) return;
  const std::vector<std::string> parts = scan::SplitRecord(recordText);
  pictureShown_ = true;
  view_.SetVisible(kPicture, true);
  header_ = HeaderName(parts);
  view_.SetText(kHeader, header_);
  // A record this program stored always has 21 parts; a shorter one empties
  // the boxes it does not reach rather than leaving another contact's values.
  for (std::size_t i = 0; i < MappedBoxNames().size(); ++i)
    SetBox(MappedBoxNames()[i], i < parts.size() ? parts[i] : std::string());
  // What only the whole-book model fills is emptied, so nothing of the
  // contact shown before stays.
  for (const char* box : UnfilledBoxNames()) SetBox(box, {});
  ClearExtras();
}

std::vector<std::string> ContactDetailView::RecordFields(const wab::Contact& c) {
  using wab::Field;
  auto f = [&](Field field) { return c[field]; };
  // The designed first name falls back to the display name when the
  // contact has neither a given name nor a surname.
  std::string name = f(Field::GivenName);
  if (name.empty() && c[Field::Surname].empty()) name = c.displayName;
  const wab::EmailAddress* email = c.DefaultEmail();
  return {name,
          f(Field::MiddleName),
          f(Field::Surname),
          email ? email->address : std::string(),
          f(Field::Company),
          f(Field::BusinessStreet),
          f(Field::BusinessCity),
          f(Field::BusinessPostalCode),
          f(Field::BusinessState),
          f(Field::BusinessCountry),
          f(Field::Office),
          f(Field::BusinessWeb),
          f(Field::Department),
          f(Field::BusinessPhone),
          f(Field::BusinessFax),
          f(Field::Mobile),
          f(Field::HomeStreet),
          f(Field::HomeCountry),
          f(Field::HomePhone),
          f(Field::HomeFax),
          f(Field::Notes)};
}

void ContactDetailView::ShowContact(const wab::Book& book, const wab::Contact& c, const std::string& recordText) {
  using wab::Field;
  ShowRecord(recordText.empty() ? scan::JoinRecord(RecordFields(c)) : recordText);
  const std::pair<const char*, Field> extra[] = {
      {"txtJobTitle", Field::JobTitle},       {"txtBusinessPager", Field::Pager},
      {"txtBusinessIPPhone", Field::IpPhone}, {"txtHomeCity", Field::HomeCity},
      {"txtHomeState", Field::HomeState},     {"txtHomeZip", Field::HomePostalCode},
      {"txtSpouse", Field::Spouse},           {"txtHomeCellPhone", Field::Mobile},
      {"txtHomeCountry", Field::HomeCountry}};
  for (const auto& [box, field] : extra) SetBox(box, c[field]);
  SetBox("txtChildren", Join(c.children, ", "));
  auto date = [&](const wab::Date& d) -> std::string {
    if (!d.valid()) return {};
    if (dateFormat_) return dateFormat_(d.year, d.month, d.day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
  };
  SetBox("txtBirthday", date(c.birthday));
  SetBox("txtAnniversary", date(c.anniversary));

  // The e-mail box keeps the default address; the list shows them all.
  if (c.emails.size() > 1) {
    std::vector<std::string> all;
    for (const auto& e : c.emails) all.push_back(e.address + (e.isDefault ? "  (default)" : ""));
    view_.SetItems(kEmails, all);
    view_.SetVisible(kEmails, true);
    view_.SetToolTip(kEmailBox, Join(all, "\n"));
  }
  // "Folder: X" and "Groups: a, b" for whatever the object has.
  std::vector<std::string> place;
  if (c.deleted) place.push_back("Deleted contact");
  if (c.folder)
    if (const wab::Folder* f = book.FindFolder(*c.folder)) place.push_back("Folder: " + f->displayName);
  std::vector<std::string> groups;
  for (auto id : c.groups)
    if (const wab::Group* g = book.FindGroup(id)) groups.push_back(g->displayName);
  if (!groups.empty()) place.push_back("Groups: " + Join(groups, ", "));
  place_ = Join(place, "    ");
  view_.SetText(kPlace, place_);
}

void ContactDetailView::ShowGroup(const wab::Book& book, const wab::Group& g) {
  ShowContact(book, g, std::string());
  header_ = g.displayName;
  view_.SetText(kHeader, header_);
  std::vector<std::string> members;
  for (const auto& m : g.members) {
    switch (m.kind) {
      case wab::Member::Kind::Record: {
        const wab::Contact* c = book.FindContact(m.id);
        if (!c) c = book.FindGroup(m.id);
        members.push_back(c ? c->displayName : std::string());
        break;
      }
      case wab::Member::Kind::Missing:
        members.push_back("(a deleted entry, record " + std::to_string(m.id) + ")");
        break;
      case wab::Member::Kind::OneOff:
        members.push_back(m.displayName + " <" + m.email + '>');
        break;
    }
  }
  view_.SetItems(kMembers, members);
  view_.SetVisible(kMembers, true);
  const std::string counted = "Group of " + Counted(members.size(), "member", "members");
  view_.SetText(kPlace, counted + (place_.empty() ? std::string() : "    " + place_));
}

}  // namespace forms

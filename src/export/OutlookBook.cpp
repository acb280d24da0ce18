#include "export/OutlookBook.h"

#include <cstdio>
#include <array>
#include <functional>
#include <set>
#include <system_error>

#include "platform/wab/HeldBook.h"

namespace exports {

namespace ao = automation::outlook;
using wab::Field;

std::unique_ptr<wab::BookContacts> OpenWholeBook(automation::AddressBookReader& reader) {
  const wab::HeldBook* held = wab::HeldBookOf(reader);
  if (!held || !held->File()) return nullptr;
  wab::BookOptions options;
  options.codePage = held->CodePage();
  // The bytes the reader already holds: the same book, read once.
  return std::make_unique<wab::BookContacts>(*held->File(), options);
}

std::future<std::unique_ptr<wab::BookContacts>> OpenWholeBookAside(automation::AddressBookReader& reader) {
  try {
    return std::async(std::launch::async, [&reader] { return OpenWholeBook(reader); });
  } catch (const std::system_error&) {
    std::promise<std::unique_ptr<wab::BookContacts>> done;
    try {
      done.set_value(OpenWholeBook(reader));
    } catch (...) {
      done.set_exception(std::current_exception());
    }
    return done.get_future();
  }
}

wab::ContactReadAhead::Reading ThroughReader(automation::AddressBookReader& reader, wab::BookContacts& book,
                                            std::vector<std::string> names) {
  // Only called with a whole book, which only a held book gives.
  const wab::HeldBook& held = *wab::HeldBookOf(reader);
  return [&reader, &held, &book, names = std::move(names)](std::size_t k, wab::Contact& c,
                                                          std::vector<wab::StoredText>& texts) {
    reader.Select(static_cast<std::int32_t>(k));
    texts.resize(names.size());
    for (std::size_t f = 0; f < names.size(); ++f) texts[f] = held.GetStoredValue(names[f]);
    const wab::Record* selected = held.SelectedRecord();
    return selected && book.Decode(*selected, c);
  };
}

void ReaderTexts(const automation::AddressBookReader& reader, const wab::ContactReadAhead& ahead, std::string* out) {
  const wab::HeldBook& held = *wab::HeldBookOf(reader);
  const std::vector<wab::StoredText>& texts = ahead.Texts();
  for (std::size_t f = 0; f < texts.size(); ++f) held.Decode(texts[f], out[f]);
}

namespace {

std::string DateText(const wab::Date& d) {
  if (!d.valid()) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

// Outlook's lists are comma-separated: a comma inside one name would split it.
std::string JoinList(const std::vector<std::string>& names) {
  std::string out;
  for (std::string n : names) {
    for (char& ch : n)
      if (ch == ',') ch = ';';
    if (n.empty()) continue;
    if (!out.empty()) out += ", ";
    out += n;
  }
  return out;
}

}  // namespace

namespace {
// The names as the late-bound calls take them, made once: a book of tens of
// thousands of contacts sets each name that many times.
enum Name {
  kDepartment, kEmail1AddressType, kEmail2Address, kEmail2AddressType, kEmail3Address,
  kEmail3AddressType, kJobTitle, kTitle, kSuffix, kNickName, kHomeAddressCity, kHomeAddressState,
  kHomeAddressPostalCode, kHomeAddressCountry, kPagerNumber, kOtherTelephoneNumber,
  kPersonalHomePage, kIMAddress, kSpouse, kChildren, kGender, kBirthday, kAnniversary,
  kYomiFirstName, kYomiLastName, kCategories, kBody, kFullName, kNameCount
};
const std::array<std::string, kNameCount>& Names() {
  static const std::array<std::string, kNameCount> names{
      "Department", "Email1AddressType", "Email2Address", "Email2AddressType", "Email3Address",
      "Email3AddressType", "JobTitle", "Title", "Suffix", "NickName", "HomeAddressCity",
      "HomeAddressState", "HomeAddressPostalCode", "HomeAddressCountry", "PagerNumber",
      "OtherTelephoneNumber", "PersonalHomePage", "IMAddress", "Spouse", "Children", "Gender",
      "Birthday", "Anniversary", "YomiFirstName", "YomiLastName", "Categories", "Body", "FullName"};
  return names;
}
}  // namespace

void SetWholeContact(ao::ContactItem& item, const wab::Contact& c, const wab::Book& book,
                     OutlookBookOutcome& outcome, const TextCheck& checkText) {
  const auto& names = Names();
  auto set = [&](Name property, const std::string& value) {
    item.SetProperty(names[property], value);
    if (checkText) checkText(value);
  };
  set(kDepartment, c[Field::Department]);
  // The book's own display name: the parts rebuilt would reorder a
  // family-name-first name and drop what the parts do not hold.
  set(kFullName, c.displayName);

  // The default address is e-mail 1 (the reader's HomeEmail, already set);
  // the others follow in stored order, and those beyond the third go into
  // the notes, a line each.
  const wab::EmailAddress* first = c.DefaultEmail();
  // Kept from contact to contact: a book sets tens of thousands of them.
  thread_local std::vector<const wab::EmailAddress*> others;
  others.clear();
  for (const auto& e : c.emails)
    if (&e != first && !e.address.empty()) others.push_back(&e);
  static const std::string kNone;
  set(kEmail1AddressType, first ? first->type : kNone);
  set(kEmail2Address, others.size() > 0 ? others[0]->address : kNone);
  set(kEmail2AddressType, others.size() > 0 ? others[0]->type : kNone);
  set(kEmail3Address, others.size() > 1 ? others[1]->address : kNone);
  set(kEmail3AddressType, others.size() > 1 ? others[1]->type : kNone);

  set(kJobTitle, c[Field::JobTitle]);
  set(kTitle, c[Field::Prefix]);
  set(kSuffix, c[Field::Suffix]);
  set(kNickName, c[Field::Nickname]);
  set(kHomeAddressCity, c[Field::HomeCity]);
  set(kHomeAddressState, c[Field::HomeState]);
  set(kHomeAddressPostalCode, c[Field::HomePostalCode]);
  // The designed export gives the home address the business country, the
  // only one the reader knows; the book knows the home one when it has one.
  if (!c[Field::HomeCountry].empty()) set(kHomeAddressCountry, c[Field::HomeCountry]);
  set(kPagerNumber, c[Field::Pager]);
  // Outlook has no IP phone: its "other" number keeps it.
  set(kOtherTelephoneNumber, c[Field::IpPhone]);
  set(kPersonalHomePage, c[Field::PersonalWeb]);
  set(kIMAddress, c[Field::Im]);
  set(kSpouse, c[Field::Spouse]);
  set(kChildren, JoinList(c.children));
  set(kGender, std::to_string(static_cast<int>(c.gender)));
  set(kBirthday, DateText(c.birthday));
  set(kAnniversary, DateText(c.anniversary));
  set(kYomiFirstName, c[Field::PhoneticGivenName]);
  set(kYomiLastName, c[Field::PhoneticSurname]);

  thread_local std::vector<std::string> groups;
  groups.clear();
  for (std::uint32_t id : c.groups)
    if (const wab::Group* g = book.FindGroup(id)) groups.push_back(g->displayName);
  set(kCategories, JoinList(groups));

  if (others.size() > 2) {
    std::string body = c[Field::Notes];
    for (std::size_t i = 2; i < others.size(); ++i) {
      if (!body.empty()) body += "\r\n";
      body += "E-mail: " + others[i]->address;
      if (!others[i]->type.empty() && others[i]->type != "SMTP") body += " (" + others[i]->type + ")";
      ++outcome.addressesInNotes;
    }
    set(kBody, body);
  }
}

namespace {

// [MS-OXOCNTC] 2.2.2.2.1: each of a list's two member lists must stay under
// 15,000 bytes. What one member adds to the larger of them (its one-off
// entry id of UTF-16 texts, or a 45-byte wrapped id, and its offset),
// counted from the UTF-8 lengths, which are never shorter.
constexpr std::size_t kMemberListLimit = 15000;
std::size_t MemberBytes(const std::string& name, const std::string& type, const std::string& address) {
  const std::size_t oneOff = 24 + 2 * (name.size() + (type.empty() ? 4 : type.size()) + address.size() + 3);
  return 4 + (oneOff > 45 ? oneOff : 45);
}

}  // namespace

ListMember AsListMember(std::shared_ptr<ao::ContactItem> item, const wab::Contact& c) {
  // The name shown is the book's, or one Outlook derives from these, never
  // longer than all together.
  std::string names = c.displayName + " ";
  for (Field f : {Field::Prefix, Field::GivenName, Field::MiddleName, Field::Surname, Field::Suffix, Field::Company})
    names += c[f] + " ";
  const wab::EmailAddress* e = c.DefaultEmail();
  const bool hasAddress = e && !e->address.empty();
  std::string shown = c.displayName;
  if (shown.empty()) shown = c[Field::GivenName] + (c[Field::GivenName].empty() || c[Field::Surname].empty() ? "" : " ") + c[Field::Surname];
  if (shown.empty()) shown = c[Field::Company];
  if (shown.empty()) shown = "(no name)";
  return {std::move(item), MemberBytes(names, e ? e->type : "", e ? e->address : ""), shown, hasAddress};
}

OutlookFolderPlan::OutlookFolderPlan(const wab::Book& book, std::shared_ptr<ao::Folder> top)
    : top_(std::move(top)) {
  // A book of one top-level folder (an identity's contacts) has it as the
  // new folder itself: its items go straight there and its subfolders under
  // it, with no level that holds nothing but one folder. Several top-level
  // folders get one subfolder each.
  std::vector<const wab::Folder*> tops;
  for (const wab::Folder& f : book.folders)
    if (!f.parent || !book.FindFolder(*f.parent)) tops.push_back(&f);
  if (tops.size() == 1) folders_[tops[0]->id] = top_;
  // Parents before children; a parent that is missing or in a cycle puts the
  // folder at the top.
  std::set<std::uint32_t> placing;
  std::map<std::shared_ptr<ao::Folder>, std::set<std::string>> taken;
  std::function<std::shared_ptr<ao::Folder>(const wab::Folder&)> place = [&](const wab::Folder& f) {
    if (auto it = folders_.find(f.id); it != folders_.end()) return it->second;
    placing.insert(f.id);
    std::shared_ptr<ao::Folder> parent = top_;
    if (f.parent && !placing.count(*f.parent))
      if (const wab::Folder* p = book.FindFolder(*f.parent)) parent = place(*p);
    // Outlook refuses two subfolders of one name: later ones get a number.
    std::string name = f.displayName.empty() ? "Folder" : f.displayName;
    auto& names = taken[parent];
    std::string unique = name;
    for (int n = 2; names.count(unique); ++n) unique = name + " (" + std::to_string(n) + ")";
    names.insert(unique);
    auto made = parent->Folders()->Add(unique, ao::olFolderContacts);
    if (!made) throw automation::AutomationError("Outlook returned no folder for \"" + unique + "\".");
    folders_[f.id] = made;
    placing.erase(f.id);
    return made;
  };
  for (const wab::Folder& f : book.folders) place(f);
}

std::shared_ptr<ao::Folder> OutlookFolderPlan::For(const std::optional<std::uint32_t>& folder) const {
  if (folder)
    if (auto it = folders_.find(*folder); it != folders_.end()) return it->second;
  return top_;
}

namespace {

// The labels a group's own fields carry in its list's notes, by Field.
constexpr std::array<const char*, wab::kFieldCount> kFieldLabels{
    "Title", "First name", "Middle name", "Last name", "Suffix", "Nickname", "Yomi first name",
    "Yomi last name", "IM address", "Company", "Department", "Job title", "Office", "Business street",
    "Business city", "Business state", "Business postal code", "Business country", "Business phone",
    "Business fax", "Pager", "IP phone", "Business web page", "Home street", "Home city", "Home state",
    "Home postal code", "Home country", "Home phone", "Home fax", "Mobile phone", "Personal web page",
    "Spouse", "Notes"};

void AddLine(std::string& body, const std::string& line) {
  if (!body.empty()) body += "\r\n";
  body += line;
}

// The list's notes: the group's notes, then each of its other fields that
// has a value, with its label: a list has no place of its own for them.
std::string GroupBody(const wab::Group& g) {
  std::string body = g[Field::Notes];
  for (std::size_t f = 0; f < wab::kFieldCount; ++f)
    if (static_cast<Field>(f) != Field::Notes && !g.fields[f].empty())
      AddLine(body, std::string(kFieldLabels[f]) + ": " + g.fields[f]);
  for (const wab::EmailAddress& e : g.emails)
    if (!e.address.empty()) AddLine(body, "E-mail: " + e.address);
  if (g.birthday.valid()) AddLine(body, "Birthday: " + DateText(g.birthday));
  if (g.anniversary.valid()) AddLine(body, "Anniversary: " + DateText(g.anniversary));
  return body;
}

}  // namespace

void ExportGroups(const wab::Book& book, const OutlookFolderPlan& folders, const SavedMembers& saved,
                  OutlookBookOutcome& outcome, const TextCheck& checkText) {
  auto check = [&](const std::string& text) {
    if (checkText) checkText(text);
  };
  // Groups inside groups become lists inside lists: an inner group is saved
  // before the groups that list it. One that lists itself, directly or
  // through others, is named in the notes where it closes the circle.
  enum class State { Unsaved, Saving, Saved };
  std::map<std::uint32_t, State> state;
  std::map<std::uint32_t, std::shared_ptr<ao::DistListItem>> savedLists;
  std::function<void(const wab::Group&)> save = [&](const wab::Group& g) {
    state[g.id] = State::Saving;
    std::string body = GroupBody(g);
    // The members as they will be added, each with what it costs.
    struct Pending {
      std::shared_ptr<ao::ContactItem> contact;
      std::shared_ptr<ao::DistListItem> list;
      const wab::Member* oneOff = nullptr;
      std::size_t bytes = 0;
    };
    std::vector<Pending> pending;
    auto withoutAddress = [&](const std::string& name) {
      AddLine(body, "Member without an e-mail address: " + name);
      ++outcome.membersWithoutAddress;
    };
    for (const wab::Member& m : g.members) {
      switch (m.kind) {
        case wab::Member::Kind::Record:
          if (auto it = saved.find(m.id); it != saved.end()) {
            if (it->second.hasAddress) pending.push_back({it->second.item, nullptr, nullptr, it->second.bytes});
            else withoutAddress(it->second.name);
          } else if (const wab::Group* inner = book.FindGroup(m.id); inner && !inner->deleted) {
            if (state[inner->id] == State::Unsaved) save(*inner);
            if (auto l = savedLists.find(inner->id); l != savedLists.end()) {
              pending.push_back({nullptr, l->second, nullptr, MemberBytes(inner->displayName, "MAPIPDL", "")});
            } else {
              AddLine(body, "Member group: " + inner->displayName);
              ++outcome.nestedGroups;
            }
          } else {
            ++outcome.membersLeftOut;
          }
          break;
        case wab::Member::Kind::OneOff:
          if (!m.email.empty()) {
            pending.push_back({nullptr, nullptr, &m,
                               MemberBytes(m.displayName.empty() ? m.email : m.displayName, m.addressType, m.email)});
          } else if (!m.displayName.empty()) {
            withoutAddress(m.displayName);
          } else {
            ++outcome.membersLeftOut;
          }
          break;
        case wab::Member::Kind::Missing:
          ++outcome.membersLeftOut;
          break;
      }
    }
    // One list, or as many as the members need: "Name", "Name (2)", ...
    std::size_t next = 0;
    int part = 1;
    do {
      auto list = folders.For(g.folder)->Items()->AddDistList();
      if (!list) throw automation::AutomationError("Outlook returned no distribution list.");
      const std::string name = part == 1 ? g.displayName : g.displayName + " (" + std::to_string(part) + ")";
      list->SetProperty("DLName", name);
      check(name);
      for (std::size_t used = 4; next < pending.size() && (used + pending[next].bytes < kMemberListLimit || used == 4);
           ++next) {
        used += pending[next].bytes;
        const Pending& p = pending[next];
        if (p.contact) {
          list->AddMember(*p.contact);
        } else if (p.list) {
          list->AddListMember(*p.list);
        } else {
          // One-off entry ids hold Unicode text in either format: nothing to lose.
          list->AddOneOffMember(p.oneOff->displayName.empty() ? p.oneOff->email : p.oneOff->displayName,
                                p.oneOff->email, p.oneOff->addressType);
        }
      }
      list->SetProperty("Body", body);
      check(body);
      list->Save();
      if (part == 1) savedLists[g.id] = list;  // lists listing the group point to its first part
      ++outcome.distributionLists;
      if (part == 2) ++outcome.groupsSplit;
      ++part;
    } while (next < pending.size());
    state[g.id] = State::Saved;
  };
  for (const wab::Group& g : book.groups)
    if (!g.deleted && state[g.id] == State::Unsaved) save(g);
}

void CountLosses(const OutlookBookOutcome& o, LossReport& loss) {
  loss.addressesBeyondThird += o.addressesInNotes;
  loss.membersNamedInNotes += o.membersWithoutAddress;
  loss.groupsNamedInNotes += o.nestedGroups;
  loss.groupsSplit += o.groupsSplit;
  loss.membersLeftOut += o.membersLeftOut;
}

std::string OutlookBookSavedLine(const OutlookBookOutcome& o) {
  if (!o.distributionLists) return {};
  return "\r\n" + std::to_string(o.distributionLists) + " Groups Saved as Distribution Lists";
}

std::string OutlookBookLines(const OutlookBookOutcome& o) {
  std::string out = OutlookBookSavedLine(o);
  LossReport loss;
  CountLosses(o, loss);
  loss.AppendTo(out);
  return out;
}

}  // namespace exports

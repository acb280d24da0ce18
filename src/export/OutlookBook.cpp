#include "export/OutlookBook.h"

#include <cstdio>
#include <array>
#include <functional>
#include <set>
#include <system_error>

#include "platform/wab/WabReader.h"

namespace exports {

namespace ao = automation::outlook;
using wab::Field;

std::unique_ptr<wab::BookContacts> OpenWholeBook(automation::AddressBookReader& reader) {
  auto* real = dynamic_cast<wab::WabReader*>(&reader);
  if (!real || !real->File()) return nullptr;
  wab::BookOptions options;
  options.codePage = real->CodePage();
  // The bytes the reader already holds: the same book, read once.
  return std::make_unique<wab::BookContacts>(*real->File(), options);
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
  auto& real = static_cast<wab::WabReader&>(reader);
  return [&real, &book, names = std::move(names)](std::size_t k, wab::Contact& c, std::vector<wab::StoredText>& texts) {
    real.Select(static_cast<std::int32_t>(k));
    texts.resize(names.size());
    for (std::size_t f = 0; f < names.size(); ++f) texts[f] = real.GetStoredValue(names[f]);
    const wab::Record* selected = real.SelectedRecord();
    return selected && book.Decode(*selected, c);
  };
}

void ReaderTexts(const automation::AddressBookReader& reader, const wab::ContactReadAhead& ahead, std::string* out) {
  const auto& real = static_cast<const wab::WabReader&>(reader);
  const std::vector<wab::StoredText>& texts = ahead.Texts();
  for (std::size_t f = 0; f < texts.size(); ++f) real.Decode(texts[f], out[f]);
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
  kYomiFirstName, kYomiLastName, kCategories, kBody, kNameCount
};
const std::array<std::string, kNameCount>& Names() {
  static const std::array<std::string, kNameCount> names{
      "Department", "Email1AddressType", "Email2Address", "Email2AddressType", "Email3Address",
      "Email3AddressType", "JobTitle", "Title", "Suffix", "NickName", "HomeAddressCity",
      "HomeAddressState", "HomeAddressPostalCode", "HomeAddressCountry", "PagerNumber",
      "OtherTelephoneNumber", "PersonalHomePage", "IMAddress", "Spouse", "Children", "Gender",
      "Birthday", "Anniversary", "YomiFirstName", "YomiLastName", "Categories", "Body"};
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
  // The name Outlook derives is one of these, never longer than all together.
  std::string names;
  for (Field f : {Field::Prefix, Field::GivenName, Field::MiddleName, Field::Surname, Field::Suffix, Field::Company})
    names += c[f] + " ";
  const wab::EmailAddress* e = c.DefaultEmail();
  return {std::move(item), MemberBytes(names, e ? e->type : "", e ? e->address : "")};
}

OutlookFolderPlan::OutlookFolderPlan(const wab::Book& book, std::shared_ptr<ao::Folder> top)
    : top_(std::move(top)) {
  if (book.folders.size() <= 1) return;
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

void ExportGroups(const wab::Book& book, const OutlookFolderPlan& folders, const SavedMembers& saved,
                  OutlookBookOutcome& outcome, const TextCheck& checkText) {
  auto check = [&](const std::string& text) {
    if (checkText) checkText(text);
  };
  for (const wab::Group& g : book.groups) {
    if (g.deleted) continue;
    std::string body = g[Field::Notes];
    // The members as they will be added, each with what it costs.
    struct Pending {
      std::shared_ptr<ao::ContactItem> contact;
      const wab::Member* oneOff = nullptr;
      std::size_t bytes = 0;
    };
    std::vector<Pending> pending;
    for (const wab::Member& m : g.members) {
      switch (m.kind) {
        case wab::Member::Kind::Record:
          if (auto it = saved.find(m.id); it != saved.end()) {
            pending.push_back({it->second.item, nullptr, it->second.bytes});
          } else if (const wab::Group* inner = book.FindGroup(m.id)) {
            // Lists inside lists are not written; the member is named in the notes.
            if (!body.empty()) body += "\r\n";
            body += "Member group: " + inner->displayName;
            ++outcome.nestedGroups;
          } else {
            ++outcome.membersLeftOut;
          }
          break;
        case wab::Member::Kind::OneOff:
          if (m.email.empty()) {
            ++outcome.membersLeftOut;
            break;
          }
          pending.push_back({nullptr, &m,
                             MemberBytes(m.displayName.empty() ? m.email : m.displayName, m.addressType, m.email)});
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
        } else {
          // One-off entry ids hold Unicode text in either format: nothing to lose.
          list->AddOneOffMember(p.oneOff->displayName.empty() ? p.oneOff->email : p.oneOff->displayName,
                                p.oneOff->email, p.oneOff->addressType);
        }
      }
      list->SetProperty("Body", body);
      check(body);
      list->Save();
      ++outcome.distributionLists;
      if (part == 2) ++outcome.groupsSplit;
      ++part;
    } while (next < pending.size());
  }
}

void CountLosses(const OutlookBookOutcome& o, LossReport& loss) {
  loss.addressesBeyondThird += o.addressesInNotes;
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

#include "OutlookStandIn.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Profile.h"
#include "platform/os/Os.h"
#include "platform/pst/PackedContacts.h"

namespace outlook {

namespace {

// Names arrive as UTF-8; a path takes them in the system's own form.
std::filesystem::path StorePath(const std::string& utf8) { return os::Native(utf8); }

}  // namespace

using automation::AutomationError;
namespace ao = automation::outlook;
using detail::Profile;
using detail::StoreEntry;

namespace {

// Late-bound names are matched without regard to case, as COM does. They
// are ASCII: folded here without the locale, which no name depends on.
constexpr char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

// The container class Outlook gives a folder of each type Folders.Add takes.
const char* ContainerClassFor(int type) {
  switch (type) {
    case 6: case 16: return "IPF.Note";  // inbox, drafts: mail folders
    case 9: return "IPF.Appointment";
    case 10: return "IPF.Contact";
    case 11: return "IPF.Journal";
    case 12: return "IPF.StickyNote";
    case 13: return "IPF.Task";
    default: return nullptr;
  }
}

// Engine misuse and failures reach the caller as the automation error COM would raise.
// `what` is the text, or for calls made once per item, what makes it: the
// text is only needed when something fails.
template <class What, class F>
auto Guard(const What& what, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    if constexpr (std::is_invocable_v<const What&>) throw AutomationError(what() + ": " + e.what());
    else throw AutomationError(std::string(what) + ": " + e.what());
  }
}

void RequireOpen(const StoreEntry& store) {
  if (!store.model) throw AutomationError("The store " + store.Describe() + " is not open in this session.");
}

using ContactField = std::string pst::Contact::*;
constexpr std::array<std::pair<std::string_view, ContactField>, 41> kContactFields{{
    {"FirstName", &pst::Contact::FirstName},
    {"MiddleName", &pst::Contact::MiddleName},
    {"LastName", &pst::Contact::LastName},
    {"CompanyName", &pst::Contact::CompanyName},
    {"BusinessTelephoneNumber", &pst::Contact::BusinessTelephoneNumber},
    {"BusinessFaxNumber", &pst::Contact::BusinessFaxNumber},
    {"HomeTelephoneNumber", &pst::Contact::HomeTelephoneNumber},
    {"HomeFaxNumber", &pst::Contact::HomeFaxNumber},
    {"PagerNumber", &pst::Contact::PagerNumber},
    {"BusinessAddressStreet", &pst::Contact::BusinessAddressStreet},
    {"BusinessAddressCity", &pst::Contact::BusinessAddressCity},
    {"BusinessAddressState", &pst::Contact::BusinessAddressState},
    {"BusinessAddressPostalCode", &pst::Contact::BusinessAddressPostalCode},
    {"BusinessAddressCountry", &pst::Contact::BusinessAddressCountry},
    {"HomeAddressStreet", &pst::Contact::HomeAddressStreet},
    {"HomeAddressCountry", &pst::Contact::HomeAddressCountry},
    {"Email1Address", &pst::Contact::Email1Address},
    {"WebPage", &pst::Contact::WebPage},
    {"OfficeLocation", &pst::Contact::OfficeLocation},
    {"Body", &pst::Contact::Body},
    {"MobileTelephoneNumber", &pst::Contact::MobileTelephoneNumber},
    {"Department", &pst::Contact::Department},
    {"JobTitle", &pst::Contact::JobTitle},
    {"Title", &pst::Contact::Title},
    {"Suffix", &pst::Contact::Suffix},
    {"NickName", &pst::Contact::NickName},
    {"Email1AddressType", &pst::Contact::Email1AddressType},
    {"Email2Address", &pst::Contact::Email2Address},
    {"Email2AddressType", &pst::Contact::Email2AddressType},
    {"Email3Address", &pst::Contact::Email3Address},
    {"Email3AddressType", &pst::Contact::Email3AddressType},
    {"HomeAddressCity", &pst::Contact::HomeAddressCity},
    {"HomeAddressState", &pst::Contact::HomeAddressState},
    {"HomeAddressPostalCode", &pst::Contact::HomeAddressPostalCode},
    {"OtherTelephoneNumber", &pst::Contact::OtherTelephoneNumber},
    {"PersonalHomePage", &pst::Contact::PersonalHomePage},
    {"IMAddress", &pst::Contact::IMAddress},
    {"Spouse", &pst::Contact::Spouse},
    {"YomiFirstName", &pst::Contact::YomiFirstName},
    {"YomiLastName", &pst::Contact::YomiLastName},
    {"FullName", &pst::Contact::FullName},
}};

// The properties that are not plain text, each set its own way.
enum class Special { None, Children, Categories, Gender, Birthday, Anniversary };
constexpr std::array<std::pair<std::string_view, Special>, 5> kSpecialNames{{
    {"Children", Special::Children},
    {"Categories", Special::Categories},
    {"Gender", Special::Gender},
    {"Birthday", Special::Birthday},
    {"Anniversary", Special::Anniversary},
}};

// What a late-bound name sets, through a table made once: an export sets
// millions of properties. The table is open-addressed on a few of the
// name's letters, folded to lower case, cheaper than hashing the whole name
// each time; exact says whether the spelling was the documented one.
struct FieldMatch {
  ContactField member = nullptr;
  Special special = Special::None;
  bool exact = false;
};

class FieldTable {
 public:
  FieldTable() {
    for (const auto& [field, member] : kContactFields) Put({field, member, Special::None});
    for (const auto& [field, special] : kSpecialNames) Put({field, nullptr, special});
  }
  FieldMatch Find(std::string_view name) const {
    if (name.empty()) return {};
    for (std::size_t at = Slot(name); !slots_[at].name.empty(); at = (at + 1) % kSlots) {
      const Entry& e = slots_[at];
      if (e.name == name) return {e.member, e.special, true};
      if (SameName(e.name, name)) return {e.member, e.special, false};
    }
    return {};
  }

 private:
  static constexpr std::size_t kSlots = 128;  // over twice the names
  struct Entry {
    std::string_view name;
    ContactField member = nullptr;
    Special special = Special::None;
  };
  void Put(const Entry& e) {
    std::size_t at = Slot(e.name);
    while (!slots_[at].name.empty()) at = (at + 1) % kSlots;
    slots_[at] = e;
  }
  static std::size_t Slot(std::string_view n) {
    // Names are letters and digits: setting bit 5 folds a letter's case.
    // The letters and weights give every name above a slot of its own
    // (the sixth letter tells Email1Address from Email2Address), so that a
    // look-up finds its name at the first try.
    auto at = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(n[i]) | 0x20); };
    const std::size_t size = n.size();
    return (size + at(0) + at(size / 2) * 7 + at(size - 1) * 7 + at(size * 3 / 4) * 31 + at(5 % size) * 17) %
           kSlots;
  }
  std::array<Entry, kSlots> slots_{};
};

FieldMatch Find(std::string_view name) {
  static const FieldTable table;
  return table.Find(name);
}

// A comma-separated list as Outlook's Children and Categories take it.
std::vector<std::string> SplitList(const std::string& value) {
  std::vector<std::string> out;
  std::size_t from = 0;
  while (from <= value.size()) {
    std::size_t to = value.find(',', from);
    if (to == std::string::npos) to = value.size();
    std::size_t b = value.find_first_not_of(' ', from);
    std::size_t e = value.find_last_not_of(' ', to == 0 ? 0 : to - 1);
    if (b != std::string::npos && b < to && e != std::string::npos && e >= b)
      out.push_back(value.substr(b, e - b + 1));
    from = to + 1;
  }
  return out;
}

pst::CalendarDate ParseDate(const std::string& name, const std::string& value) {
  pst::CalendarDate d;
  if (value.empty()) return d;
  // yyyy-mm-dd, digits where digits belong.
  auto number = [&](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (value[i] < '0' || value[i] > '9') return -1;
      v = v * 10 + (value[i] - '0');
    }
    return v;
  };
  const bool shaped = value.size() == 10 && value[4] == '-' && value[7] == '-';
  if (shaped) {
    d.year = number(0, 4);
    d.month = number(5, 2);
    d.day = number(8, 2);
  }
  if (!shaped || d.year < 1601 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)
    throw AutomationError("Type mismatch: ContactItem." + name + " takes a date (yyyy-mm-dd), not \"" +
                          value + "\".");
  return d;
}

// Sets a property that is not plain text.
void SetSpecial(pst::Contact& c, Special which, const std::string& value) {
  switch (which) {
    case Special::Children: c.Children = SplitList(value); break;
    case Special::Categories: c.Categories = SplitList(value); break;
    case Special::Gender:
      if (value != "0" && value != "1" && value != "2")
        throw AutomationError("Type mismatch: ContactItem.Gender takes 0, 1 or 2, not \"" + value + "\".");
      c.Gender = value[0] - '0';
      break;
    case Special::Birthday: c.Birthday = ParseDate("Birthday", value); break;
    case Special::Anniversary: c.Anniversary = ParseDate("Anniversary", value); break;
    case Special::None: break;
  }
}

// Contacts of items gone, emptied with the room of their texts kept: an
// export makes one item per contact and lets it go after saving, so the next
// item fills these texts instead of allocating each anew. They are handed
// round by pointer: a contact is forty strings, too many to move each time.
class SpareContacts {
 public:
  static std::unique_ptr<pst::Contact> Take() {
    auto& spare = Pool();
    if (spare.empty()) return std::make_unique<pst::Contact>();
    std::unique_ptr<pst::Contact> c = std::move(spare.back());
    spare.pop_back();
    return c;
  }
  static void GiveBack(std::unique_ptr<pst::Contact> c) {
    auto& spare = Pool();
    if (!c || spare.size() >= kKept) return;
    pst::ClearContact(*c);
    spare.push_back(std::move(c));
  }

 private:
  static constexpr std::size_t kKept = 4;
  static std::vector<std::unique_ptr<pst::Contact>>& Pool() {
    thread_local std::vector<std::unique_ptr<pst::Contact>> spare;
    return spare;
  }
};

class ContactItemImpl final : public ao::ContactItem {
 public:
  ContactItemImpl(std::shared_ptr<Profile> profile, std::shared_ptr<StoreEntry> store, pst::FolderId folder)
      : profile_(std::move(profile)), store_(std::move(store)), folder_(folder), contact_(SpareContacts::Take()) {}
  ~ContactItemImpl() override { SpareContacts::GiveBack(std::move(contact_)); }
  ContactItemImpl(const ContactItemImpl&) = delete;
  ContactItemImpl& operator=(const ContactItemImpl&) = delete;

  void SetProperty(const std::string& name, const std::string& value) override {
    // One look-up finds the text fields, the names that are not plain text
    // and other spellings of either.
    const FieldMatch match = Find(name);
    if (match.special != Special::None || !match.exact) {
      if (saved_) throw AutomationError("This Outlook cannot change a contact after it has been saved.");
      if (match.special != Special::None) {
        SetSpecial(*contact_, match.special, value);
        changed_ = true;
        return;
      }
      if (!match.member) throw AutomationError("Object doesn't support this property or method: ContactItem." + name);
    }
    // Any setting is a change: before Save the item is unsaved anyway, and
    // after it the values live in the store.
    changed_ = true;
    (*contact_).*match.member = value;
  }

  void Save() override {
    // The engine appends items; it cannot change one already in the file.
    if (saved_ && !changed_) return;
    if (saved_) throw AutomationError("This Outlook cannot change a contact after it has been saved.");
    RequireOpen(*store_);
    id_ = Guard([&] { return "Cannot save the contact in " + store_->Describe(); },
                [&] { return store_->model->AddContact(folder_, *contact_); });
    store_->dirty = true;
    saved_ = true;
    changed_ = false;
  }

  const std::shared_ptr<StoreEntry>& store() const { return store_; }
  // 0 until saved.
  pst::ItemId id() const { return saved_ ? id_ : 0; }

 private:
  std::shared_ptr<Profile> profile_;
  std::shared_ptr<StoreEntry> store_;
  pst::FolderId folder_;
  std::unique_ptr<pst::Contact> contact_;
  pst::ItemId id_ = 0;
  bool saved_ = false;
  bool changed_ = true;
};

class DistListItemImpl final : public ao::DistListItem {
 public:
  DistListItemImpl(std::shared_ptr<StoreEntry> store, pst::FolderId folder)
      : store_(std::move(store)), folder_(folder) {}

  void SetProperty(const std::string& name, const std::string& value) override {
    RequireUnsaved();
    if (SameName(name, "DLName")) list_.DLName = value;
    else if (SameName(name, "Body")) list_.Body = value;
    else if (SameName(name, "Categories")) list_.Categories = SplitList(value);
    else throw AutomationError("Object doesn't support this property or method: DistListItem." + name);
  }

  void AddMember(ao::ContactItem& contact) override {
    RequireUnsaved();
    auto* item = dynamic_cast<ContactItemImpl*>(&contact);
    if (!item || item->id() == 0)
      throw AutomationError("DistListItem.AddMember: the member must be a contact saved in this Outlook.");
    if (item->store() != store_)
      throw AutomationError("DistListItem.AddMember: the contact is in another store.");
    pst::DistListMember m;
    m.contact = item->id();
    list_.members.push_back(std::move(m));
  }

  void AddOneOffMember(const std::string& displayName, const std::string& address,
                       const std::string& addressType) override {
    RequireUnsaved();
    if (address.empty()) throw AutomationError("DistListItem.AddMember: a member needs an address.");
    pst::DistListMember m;
    m.displayName = displayName;
    m.address = address;
    m.addressType = addressType;
    list_.members.push_back(std::move(m));
  }

  void AddListMember(ao::DistListItem& list) override {
    RequireUnsaved();
    auto* inner = dynamic_cast<DistListItemImpl*>(&list);
    if (!inner || !inner->saved_)
      throw AutomationError("DistListItem.AddMember: the member must be a list saved in this Outlook.");
    if (inner->store_ != store_) throw AutomationError("DistListItem.AddMember: the list is in another store.");
    pst::DistListMember m;
    m.list = inner->id_;
    m.displayName = inner->list_.DLName;
    list_.members.push_back(std::move(m));
  }

  void Save() override {
    RequireUnsaved();
    RequireOpen(*store_);
    Guard([&] { return "Cannot save the distribution list in " + store_->Describe(); },
          [&] { id_ = store_->model->AddDistList(folder_, list_); });
    store_->dirty = true;
    saved_ = true;
  }

 private:
  void RequireUnsaved() const {
    if (saved_) throw AutomationError("This Outlook cannot change a distribution list after it has been saved.");
  }
  std::shared_ptr<StoreEntry> store_;
  pst::FolderId folder_;
  pst::DistList list_;
  pst::ItemId id_ = 0;
  bool saved_ = false;
};

class FolderImpl;

class ItemsImpl final : public ao::Items {
 public:
  ItemsImpl(std::shared_ptr<Profile> profile, std::shared_ptr<StoreEntry> store, pst::FolderId folder)
      : profile_(std::move(profile)), store_(std::move(store)), folder_(folder) {}

  std::shared_ptr<ao::ContactItem> Add() override {
    RequireOpen(*store_);
    return std::make_shared<ContactItemImpl>(profile_, store_, folder_);
  }

  std::shared_ptr<ao::DistListItem> AddDistList() override {
    RequireOpen(*store_);
    return std::make_shared<DistListItemImpl>(store_, folder_);
  }

 private:
  std::shared_ptr<Profile> profile_;
  std::shared_ptr<StoreEntry> store_;
  pst::FolderId folder_;
};

class FolderImpl final : public ao::Folder {
 public:
  // A store's root folder, as the namespace's Folders collection shows it.
  FolderImpl(std::shared_ptr<Profile> profile, std::shared_ptr<StoreEntry> store)
      : profile_(std::move(profile)), store_(std::move(store)), root_(true) {
    if (store_->model) id_ = store_->model->TopOfPersonalFolders();
  }
  FolderImpl(std::shared_ptr<Profile> profile, std::shared_ptr<StoreEntry> store, pst::FolderId id)
      : profile_(std::move(profile)), store_(std::move(store)), id_(id), root_(false) {}

  const std::shared_ptr<StoreEntry>& store() const { return store_; }
  pst::FolderId id() const { return id_; }
  bool isRoot() const { return root_; }

  std::string Name() override {
    if (root_) return store_->displayName;
    RequireOpen(*store_);
    return Guard("Cannot read the folder's name in " + store_->Describe(),
                 [&] { return store_->model->FolderName(id_); });
  }

  void SetName(const std::string& name) override {
    if (!root_) throw AutomationError("This Outlook cannot rename a folder inside a store.");
    Guard("Cannot rename the store " + store_->Describe(), [&] { profile_->RenameStore(*store_, name); });
  }

  std::shared_ptr<ao::Folders> Folders() override;

  std::shared_ptr<ao::Items> Items() override {
    RequireOpen(*store_);
    if (root_) throw AutomationError("The top of the store " + store_->Describe() + " holds no items.");
    return std::make_shared<ItemsImpl>(profile_, store_, id_);
  }

  void MoveTo(ao::Folder& destination) override {
    auto* dest = dynamic_cast<FolderImpl*>(&destination);
    if (!dest) throw AutomationError("The destination is not a folder of this Outlook.");
    if (root_) throw AutomationError("The top of a store cannot be moved.");
    RequireOpen(*store_);
    RequireOpen(*dest->store_);
    if (dest->store_ == store_ && (dest->id_ == id_ || Contains(id_, dest->id_)))
      throw AutomationError("A folder cannot be moved into itself.");
    Guard("Cannot move the folder to " + dest->store_->Describe(), [&] {
      id_ = store_->model->MoveFolder(id_, *dest->store_->model, dest->id_);
    });
    auto source = std::exchange(store_, dest->store_);
    source->dirty = true;
    store_->dirty = true;
    profile_->WriteStore(*store_);
    if (source != store_) profile_->WriteStore(*source);
  }

 private:
  bool Contains(pst::FolderId ancestor, pst::FolderId folder) const {
    for (pst::FolderId child : store_->model->Subfolders(ancestor))
      if (child == folder || Contains(child, folder)) return true;
    return false;
  }

  std::shared_ptr<Profile> profile_;
  std::shared_ptr<StoreEntry> store_;
  pst::FolderId id_ = 0;
  bool root_;
};

// The subfolders of one folder.
class SubfoldersImpl final : public ao::Folders {
 public:
  SubfoldersImpl(std::shared_ptr<Profile> profile, std::shared_ptr<StoreEntry> store, pst::FolderId parent)
      : profile_(std::move(profile)), store_(std::move(store)), parent_(parent) {}

  std::shared_ptr<ao::Folder> Add(const std::string& name, int type) override {
    const char* cls = ContainerClassFor(type);
    if (!cls) throw AutomationError("Folders.Add: " + std::to_string(type) + " is not a folder type.");
    if (name.empty()) throw AutomationError("Folders.Add: a folder needs a name.");
    RequireOpen(*store_);
    return Guard("Cannot create the folder \"" + name + "\" in " + store_->Describe(), [&] {
      auto& model = *store_->model;
      for (pst::FolderId child : model.Subfolders(parent_))
        if (SameName(model.FolderName(child), name))
          throw AutomationError("Cannot create the folder \"" + name + "\": a folder of that name exists.");
      pst::FolderId id = model.AddFolder(parent_, name, cls);
      store_->dirty = true;
      return std::make_shared<FolderImpl>(profile_, store_, id);
    });
  }

  std::shared_ptr<ao::Folder> GetLast() override {
    RequireOpen(*store_);
    // An export asks for the last folder once per contact: the error text
    // is made only when it is needed.
    auto children = Guard([&] { return "Cannot list the folders of " + store_->Describe(); },
                          [&] { return store_->model->Subfolders(parent_); });
    if (children.empty()) return nullptr;
    return std::make_shared<FolderImpl>(profile_, store_, children.back());
  }

 private:
  std::shared_ptr<Profile> profile_;
  std::shared_ptr<StoreEntry> store_;
  pst::FolderId parent_;
};

std::shared_ptr<ao::Folders> FolderImpl::Folders() {
  RequireOpen(*store_);
  return std::make_shared<SubfoldersImpl>(profile_, store_, id_);
}

// The namespace's Folders: the roots of the default store and the stores attached.
class StoreRootsImpl final : public ao::Folders {
 public:
  explicit StoreRootsImpl(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}

  std::shared_ptr<ao::Folder> Add(const std::string&, int) override {
    throw AutomationError("A store is attached with AddStore, not created with Folders.Add.");
  }

  std::shared_ptr<ao::Folder> GetLast() override {
    const auto& attached = profile_->Attached();
    return std::make_shared<FolderImpl>(profile_, attached.empty() ? profile_->DefaultStore() : attached.back());
  }

 private:
  std::shared_ptr<Profile> profile_;
};

class NamespaceImpl final : public ao::Namespace {
 public:
  explicit NamespaceImpl(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}

  void AddStore(const std::string& path) override { profile_->AddStore(StorePath(path), StoreFormat::Unicode); }

  void AddStoreEx(const std::string& path, std::int16_t type) override {
    switch (type) {
      case ao::olStoreDefault:
      case ao::olStoreUnicode: profile_->AddStore(StorePath(path), StoreFormat::Unicode); return;
      case ao::olStoreANSI: profile_->AddStore(StorePath(path), StoreFormat::Ansi); return;
      default: throw AutomationError("AddStoreEx: " + std::to_string(type) + " is not a store type.");
    }
  }

  void RemoveStore(ao::Folder& storeRoot) override {
    auto* folder = dynamic_cast<FolderImpl*>(&storeRoot);
    if (!folder || !folder->isRoot())
      throw AutomationError("RemoveStore takes the top folder of a store attached to the profile.");
    profile_->RemoveStore(folder->store());
  }

  std::shared_ptr<ao::Folders> Folders() override { return std::make_shared<StoreRootsImpl>(profile_); }

  std::shared_ptr<ao::Folder> GetDefaultFolder(int folderType) override {
    if (folderType != ao::olFolderContacts)
      throw AutomationError("GetDefaultFolder: this Outlook keeps only the default contacts folder (10), not " +
                            std::to_string(folderType) + ".");
    return std::make_shared<FolderImpl>(profile_, profile_->DefaultStore(), profile_->DefaultContacts());
  }

 private:
  std::shared_ptr<Profile> profile_;
};

class ApplicationImpl final : public ao::Application {
 public:
  ApplicationImpl() : profile_(Profile::Acquire()) {}

  std::shared_ptr<ao::Namespace> GetNamespace(const std::string& type) override {
    if (!SameName(type, "MAPI")) throw AutomationError("GetNamespace: \"" + type + "\" is not a namespace; use \"MAPI\".");
    return std::make_shared<NamespaceImpl>(profile_);
  }

  std::string version() override { return kVersion; }

 private:
  std::shared_ptr<Profile> profile_;
};

}  // namespace

std::shared_ptr<ao::Application> NewApplication() { return std::make_shared<ApplicationImpl>(); }

void RegisterComponent() {
  automation::Registry::Instance().Register(ao::kOutlookProgId,
                                            [] { return std::static_pointer_cast<automation::Object>(NewApplication()); });
}

}  // namespace outlook

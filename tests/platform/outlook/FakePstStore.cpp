// An in-memory pst::Store for the stand-in's tests: same header, no file
// format. Write puts a readable dump of the model into the file, so tests
// can see exactly what the stand-in asked to be written.
#include <algorithm>
#include <fstream>
#include <map>

#include "platform/pst/PstStore.h"

namespace pst {

struct Store::Impl {
  struct Node {
    std::string name, cls;
    FolderId parent = 0;
    std::vector<FolderId> children;
    std::vector<Contact> contacts;
    std::vector<ItemId> ids;
    std::vector<DistList> lists;
  };
  Format format;
  std::string name;
  int codePage;
  std::map<FolderId, Node> nodes;
  FolderId next = 1;

  FolderId Make(FolderId parent, std::string n, std::string c) {
    FolderId id = next++;
    nodes[id] = Node{std::move(n), std::move(c), parent, {}, {}, {}, {}};
    if (parent) nodes.at(parent).children.push_back(id);
    return id;
  }
  Node& At(FolderId id) {
    auto it = nodes.find(id);
    if (it == nodes.end()) throw PstError("unknown folder " + std::to_string(id));
    return it->second;
  }
  std::string PathOf(FolderId id) {
    std::string p;
    for (FolderId f = id; f != 1; f = At(f).parent) p = "/" + At(f).name + p;
    return p;
  }
};

Store::Store(Format format, std::string displayName, int ansiCodePage) : impl_(std::make_unique<Impl>()) {
  impl_->format = format;
  impl_->name = std::move(displayName);
  impl_->codePage = ansiCodePage;
  impl_->Make(0, "", "");                                // 1: root
  impl_->Make(1, "Top of Personal Folders", "IPF.Note");  // 2
  impl_->Make(1, "Deleted Items", "IPF.Note");            // 3
}
Store::~Store() = default;
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;

Format Store::format() const { return impl_->format; }
const std::string& Store::displayName() const { return impl_->name; }
void Store::Rename(std::string displayName) { impl_->name = std::move(displayName); }
FolderId Store::RootFolder() const { return 1; }
FolderId Store::TopOfPersonalFolders() const { return 2; }
FolderId Store::DeletedItems() const { return 3; }

FolderId Store::AddFolder(FolderId parent, std::string name, std::string containerClass) {
  impl_->At(parent);
  return impl_->Make(parent, std::move(name), std::move(containerClass));
}
std::vector<FolderId> Store::Subfolders(FolderId folder) const { return impl_->At(folder).children; }
std::string Store::FolderName(FolderId folder) const { return impl_->At(folder).name; }
std::size_t Store::ContactCount(FolderId folder) const { return impl_->At(folder).contacts.size(); }
ItemId Store::AddContact(FolderId folder, const Contact& contact) {
  static ItemId next = 1;
  impl_->At(folder).contacts.push_back(contact);
  impl_->At(folder).ids.push_back(next);
  return next++;
}
ItemId Store::AddContact(FolderId folder, Contact&& contact) { return AddContact(folder, contact); }
ItemId Store::AddDistList(FolderId folder, const DistList& list) {
  impl_->At(folder).lists.push_back(list);
  return 0;
}
const std::vector<DistList>& Store::DistLists(FolderId folder) const { return impl_->At(folder).lists; }

FolderId Store::MoveFolder(FolderId folder, Store& to, FolderId newParent) {
  Impl::Node node = impl_->At(folder);
  to.impl_->At(newParent);
  auto& siblings = impl_->At(node.parent).children;
  siblings.erase(std::find(siblings.begin(), siblings.end(), folder));
  FolderId id = to.impl_->Make(newParent, node.name, node.cls);
  to.impl_->At(id).contacts = node.contacts;
  to.impl_->At(id).ids = node.ids;
  to.impl_->At(id).lists = node.lists;
  for (FolderId child : node.children) MoveFolder(child, to, id);
  impl_->nodes.erase(folder);
  return id;
}

void Store::Write(const std::filesystem::path& path, bool) const {
  std::string text = "pst-fake\n";
  text += std::string("format=") + (impl_->format == Format::Ansi ? "ansi" : "unicode") + "\n";
  text += "name=" + impl_->name + "\n";
  text += "codepage=" + std::to_string(impl_->codePage) + "\n";
  for (auto& [id, node] : impl_->nodes) {
    if (id == 1) continue;
    const std::string p = impl_->PathOf(id);
    text += "folder=" + p + "|" + node.cls + "|" + std::to_string(node.contacts.size()) + "\n";
    for (const Contact& c : node.contacts) {
      text += "contact=" + p;
      for (const std::string* f :
           {&c.FirstName, &c.MiddleName, &c.LastName, &c.CompanyName, &c.BusinessTelephoneNumber,
            &c.BusinessFaxNumber, &c.HomeTelephoneNumber, &c.HomeFaxNumber, &c.PagerNumber,
            &c.BusinessAddressStreet, &c.BusinessAddressCity, &c.BusinessAddressState,
            &c.BusinessAddressPostalCode, &c.BusinessAddressCountry, &c.HomeAddressStreet,
            &c.HomeAddressCountry, &c.Email1Address, &c.WebPage, &c.OfficeLocation, &c.Body})
        text += "|" + *f;
      text += "\n";
      // The rest of the contact, on a line of its own.
      text += "more=" + p;
      for (const std::string* f :
           {&c.MobileTelephoneNumber, &c.Department, &c.JobTitle, &c.Title, &c.Suffix, &c.NickName,
            &c.Email1AddressType, &c.Email2Address, &c.Email2AddressType, &c.Email3Address, &c.Email3AddressType,
            &c.HomeAddressCity, &c.HomeAddressState, &c.HomeAddressPostalCode, &c.OtherTelephoneNumber,
            &c.PersonalHomePage, &c.IMAddress, &c.Spouse, &c.YomiFirstName, &c.YomiLastName})
        text += "|" + *f;
      for (const auto* list : {&c.Children, &c.Categories}) {
        text += "|";
        for (const std::string& v : *list) text += v + ";";
      }
      text += "|" + std::to_string(c.Gender) + "|" + std::to_string(c.Birthday.year) + "|" +
              std::to_string(c.Anniversary.day) + "\n";
    }
    for (const DistList& l : node.lists) {
      text += "distlist=" + p + "|" + l.DLName + "|" + l.Body;
      for (const DistListMember& m : l.members)
        text += m.contact ? "|#" + std::to_string(m.contact) : "|" + m.displayName + " <" + m.address + ">";
      text += "\n";
    }
  }
  const std::filesystem::path tmp = path.string() + ".part";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw PstError("cannot write " + path.string());
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) throw PstError("cannot write " + path.string() + ": " + ec.message());
}

}  // namespace pst

#include "platform/pst/PstStore.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>

#include "platform/os/OutputFile.h"
#include "platform/codepage/CodePage.h"
#include "platform/os/Os.h"
#include "platform/pst/PackedContacts.h"
#include "platform/pst/StoreFile.h"

namespace pst {

using detail::FolderModel;

struct FolderData {
  FolderModel::Kind kind = FolderModel::Kind::User;
  std::string name;
  std::string containerClass;
  FolderId parent = 0;
  std::vector<FolderId> children;
  detail::PackedContacts contacts;
  std::vector<ItemId> contactIds;  // beside contacts
  std::vector<DistList> distLists;
  std::vector<ItemId> distListIds;
};

namespace {
// Handles unique in the process: items keep theirs when moved between stores.
ItemId NewItemId() {
  static std::atomic<ItemId> next{1};
  return next++;
}
}  // namespace

struct Store::Impl {
  Format format;
  std::string displayName;
  int codePage;
  std::map<FolderId, FolderData> folders;
  FolderId nextId = 1;
  FolderId root = 0, top = 0, searchRoot = 0, deleted = 0;
  detail::Bytes recordKey;

  FolderData& Get(FolderId id) {
    auto it = folders.find(id);
    if (it == folders.end()) throw PstError("unknown folder " + std::to_string(id));
    return it->second;
  }
  const FolderData& Get(FolderId id) const { return const_cast<Impl*>(this)->Get(id); }

  FolderId Add(FolderId parent, FolderModel::Kind kind, std::string name, std::string cls) {
    FolderId id = nextId++;
    FolderData& f = folders[id];
    f.kind = kind;
    f.name = std::move(name);
    f.containerClass = std::move(cls);
    f.parent = parent;
    if (parent) Get(parent).children.push_back(id);
    return id;
  }

  // Copies a subtree in from another store, taking its items along.
  FolderId Adopt(FolderData&& src, FolderId parent, Impl& from) {
    FolderId id = Add(parent, src.kind, std::move(src.name), std::move(src.containerClass));
    FolderData& f = folders[id];
    f.contacts = std::move(src.contacts);
    f.contactIds = std::move(src.contactIds);
    f.distLists = std::move(src.distLists);
    f.distListIds = std::move(src.distListIds);
    for (FolderId child : src.children) Adopt(std::move(from.Get(child)), id, from);
    return id;
  }

  void Erase(FolderId id) {
    std::vector<FolderId> children = Get(id).children;
    for (FolderId c : children) Erase(c);
    folders.erase(id);
  }

  bool IsInside(FolderId id, FolderId ancestor) const {
    for (FolderId f = id; f; f = Get(f).parent)
      if (f == ancestor) return true;
    return false;
  }
};

Store::Store(Format format, std::string displayName, int ansiCodePage)
    : impl_(std::make_unique<Impl>()) {
  if (format == Format::Ansi && !codepage::IsSupported(ansiCodePage))
    throw PstError("code page " + std::to_string(ansiCodePage) + " is not supported");
  impl_->format = format;
  impl_->displayName = std::move(displayName);
  impl_->codePage = ansiCodePage;
  impl_->root = impl_->Add(0, FolderModel::Kind::Root, "", "");
  impl_->top = impl_->Add(impl_->root, FolderModel::Kind::IpmSubtree, "Top of Personal Folders", "");
  impl_->searchRoot = impl_->Add(impl_->root, FolderModel::Kind::SearchRoot, "Search Root", "");
  impl_->deleted = impl_->Add(impl_->top, FolderModel::Kind::DeletedItems, "Deleted Items", "");
  std::random_device rd;
  impl_->recordKey.resize(16);
  for (auto& b : impl_->recordKey) b = static_cast<std::uint8_t>(rd());
}

Store::~Store() = default;
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;

Format Store::format() const { return impl_->format; }
const std::string& Store::displayName() const { return impl_->displayName; }
void Store::Rename(std::string displayName) { impl_->displayName = std::move(displayName); }
int Store::codePage() const { return impl_->codePage; }

FolderId Store::RootFolder() const { return impl_->root; }
FolderId Store::TopOfPersonalFolders() const { return impl_->top; }
FolderId Store::DeletedItems() const { return impl_->deleted; }

FolderId Store::AddFolder(FolderId parent, std::string name, std::string containerClass) {
  const FolderData& p = impl_->Get(parent);
  if (parent == impl_->searchRoot) throw PstError("folders cannot be added to the search root");
  for (FolderId c : p.children)
    if (impl_->Get(c).name == name) throw PstError("a folder named \"" + name + "\" already exists");
  return impl_->Add(parent, FolderModel::Kind::User, std::move(name), std::move(containerClass));
}

std::vector<FolderId> Store::Subfolders(FolderId folder) const {
  return impl_->Get(folder).children;
}

std::string Store::FolderName(FolderId folder) const { return impl_->Get(folder).name; }

std::string Store::FolderContainerClass(FolderId folder) const {
  return impl_->Get(folder).containerClass;
}

std::size_t Store::ContactCount(FolderId folder) const {
  return impl_->Get(folder).contacts.size();
}

std::vector<Contact> Store::Contacts(FolderId folder) const {
  const detail::PackedContacts& packed = impl_->Get(folder).contacts;
  std::vector<Contact> out(packed.size());
  for (std::size_t i = 0; i < out.size(); ++i) packed.Unpack(i, out[i]);
  return out;
}

namespace {
FolderData& ItemFolder(FolderData& f) {
  if (f.kind == FolderModel::Kind::Root || f.kind == FolderModel::Kind::SearchRoot)
    throw PstError("items cannot be added to \"" + f.name + "\"");
  return f;
}
}  // namespace

ItemId Store::AddContact(FolderId folder, const Contact& contact) {
  FolderData& f = ItemFolder(impl_->Get(folder));
  f.contacts.Add(contact);
  f.contactIds.push_back(NewItemId());
  return f.contactIds.back();
}

// The store packs the contact's bytes either way; nothing is gained by moving.
ItemId Store::AddContact(FolderId folder, Contact&& contact) {
  return AddContact(folder, static_cast<const Contact&>(contact));
}

ItemId Store::AddDistList(FolderId folder, const DistList& list) {
  FolderData& f = ItemFolder(impl_->Get(folder));
  f.distLists.push_back(list);
  f.distListIds.push_back(NewItemId());
  return f.distListIds.back();
}

const std::vector<DistList>& Store::DistLists(FolderId folder) const {
  return impl_->Get(folder).distLists;
}

FolderId Store::MoveFolder(FolderId folder, Store& to, FolderId newParent) {
  FolderData& f = impl_->Get(folder);
  if (f.kind != FolderModel::Kind::User) throw PstError("the folder \"" + f.name + "\" cannot be moved");
  const FolderData& target = to.impl_->Get(newParent);
  if (newParent == to.impl_->searchRoot) throw PstError("folders cannot be moved to the search root");
  for (FolderId c : target.children)
    if (c != folder && to.impl_->Get(c).name == f.name)
      throw PstError("a folder named \"" + f.name + "\" already exists");
  auto detach = [&] {
    auto& siblings = impl_->Get(f.parent).children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), folder));
  };
  if (&to == this) {
    if (impl_->IsInside(newParent, folder))
      throw PstError("a folder cannot be moved into itself");
    detach();
    f.parent = newParent;
    impl_->Get(newParent).children.push_back(folder);
    return folder;
  }
  detach();
  FolderId moved = to.impl_->Adopt(std::move(f), newParent, *impl_);
  impl_->Erase(folder);
  return moved;
}

namespace {

std::uint64_t NowFiletime() {
  using namespace std::chrono;
  auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::uint64_t>(since1970) * 10 + 116444736000000000ull;
}

std::string ErrnoText(int e) { return std::strerror(e); }

}  // namespace

void Store::Write(const std::filesystem::path& path, bool syncReplaced) const {
  // The in-memory folders as the messaging layer sees them.
  std::map<FolderId, FolderModel> models;
  for (const auto& [id, f] : impl_->folders) {
    FolderModel& m = models[id];
    m.kind = f.kind;
    m.name = f.name;
    m.containerClass = f.containerClass;
    m.contacts = &f.contacts;
    m.contactIds = &f.contactIds;
    m.distLists = &f.distLists;
    m.distListIds = &f.distListIds;
  }
  for (const auto& [id, f] : impl_->folders)
    for (FolderId c : f.children) models[id].children.push_back(&models[c]);
  detail::StoreModel model;
  model.displayName = impl_->displayName;
  model.recordKey = impl_->recordKey;
  model.root = &models[impl_->root];
  model.now = NowFiletime();

  const detail::LtpFormat fmt = detail::FileFormat(impl_->format == Format::Unicode, impl_->codePage);

  // Written to a file with no name (or a short hidden one) in the target's
  // folder, then put under the target's name.
  const auto name8 = path.u8string();
  const std::string target(name8.begin(), name8.end());
  excel::NewFile out;
  if (int err = out.Open(target, syncReplaced ? excel::Existing::Replace : excel::Existing::ReplaceUnsynced))
    throw PstError("cannot create " + target + ": " + ErrnoText(err));
  const int fd = os::Duplicate(out.fd());
  // The sink gathers the file in large pieces itself; the stream passes
  // them straight to the system.
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    int e = errno;
    if (fd >= 0) os::Close(fd);
    throw PstError("cannot create " + target + ": " + ErrnoText(e));
  }
  try {
    detail::FileSink sink(file, target);
    std::mt19937_64 rng(std::random_device{}());
    detail::SerializeStore(model, fmt, sink, rng);
  } catch (...) {
    std::fclose(file);
    throw;
  }
  errno = 0;
  if (std::fflush(file) != 0) {
    int e = errno;
    std::fclose(file);
    throw PstError("cannot write " + target + ": " + ErrnoText(e));
  }
  if (std::fclose(file) != 0) throw PstError("cannot write " + target + ": " + ErrnoText(errno));
  if (int err = out.Commit()) throw PstError("cannot write " + target + ": " + ErrnoText(err));
}

}  // namespace pst

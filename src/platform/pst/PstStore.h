// The personal folders file engine: an in-memory store of folders and
// contacts, written in one pass as a real .pst file (ANSI or Unicode) that
// Outlook, libpff and libpst open. No Qt; text in and out is UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/Items.h"
#include "platform/pst/PstError.h"

namespace pst {

// Folders are named by handles that stay valid for the life of their store,
// and follow a folder moved to another store.
using FolderId = std::uint32_t;

class Store {
 public:
  // A new store holds what Outlook puts in every new file: the message store
  // named displayName, the root folder, "Top of Personal Folders" (the IPM
  // subtree), "Deleted Items", the search root and the name-to-id map.
  // ansiCodePage is the code page of 8-bit text in ANSI files (ignored in
  // Unicode ones); one the system cannot convert to throws PstError.
  Store(Format format, std::string displayName, int ansiCodePage = 1252);
  ~Store();
  Store(Store&&) noexcept;
  Store& operator=(Store&&) noexcept;

  Format format() const;
  const std::string& displayName() const;
  void Rename(std::string displayName);
  int codePage() const;  // of 8-bit text when the format is Ansi

  FolderId RootFolder() const;           // the hidden root
  FolderId TopOfPersonalFolders() const; // the IPM subtree, where user folders go
  FolderId DeletedItems() const;

  // Throws PstError when the parent already holds a folder of that name, as
  // Outlook refuses one.
  FolderId AddFolder(FolderId parent, std::string name, std::string containerClass = "IPF.Note");
  std::vector<FolderId> Subfolders(FolderId folder) const;
  std::string FolderName(FolderId folder) const;
  std::string FolderContainerClass(FolderId folder) const;
  std::size_t ContactCount(FolderId folder) const;
  // A copy of the folder's contacts in the order added. The store keeps them
  // packed (a contact costs about its text), so this unpacks every one.
  std::vector<Contact> Contacts(FolderId folder) const;

  // Items go into any folder but the hidden root and the search root.
  ItemId AddContact(FolderId folder, const Contact& contact);
  ItemId AddContact(FolderId folder, Contact&& contact);
  // A member naming a contact or list that is not in the store when it is
  // written is written as its one-off address.
  ItemId AddDistList(FolderId folder, const DistList& list);
  const std::vector<DistList>& DistLists(FolderId folder) const;

  // Moves a folder with all its items and subfolders to newParent in `to`
  // (which may be this store). Returns the folder's handle in `to`.
  FolderId MoveFolder(FolderId folder, Store& to, FolderId newParent);

  // Writes the whole file: beside `path` first, then renamed over it, so a
  // failure never leaves a half-written file under the final name (nor the
  // temporary one). Throws PstError with the cause (no such folder, no
  // permission, disk full, a folder with more items than an ANSI file holds).
  // A file replaced is synced first unless syncReplaced is false: for a
  // file that holds nothing a power cut could cost.
  void Write(const std::filesystem::path& path, bool syncReplaced = true) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pst

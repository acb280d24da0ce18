// The personal folders file engine: an in-memory store of folders and
// contacts, written in one pass as a real .pst file (ANSI or Unicode) that
// Outlook, libpff and libpst open. No Qt; text in and out is UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/PstError.h"

namespace pst {

enum class Format {
  Ansi,     // 32-bit, wVer 14/15; 8-bit text in the ANSI code page of the store
  Unicode,  // 64-bit, wVer 23; UTF-16LE text
};

// A calendar date as entered, with no time of day and no time zone.
struct CalendarDate {
  int year = 0;  // 0: not set
  int month = 0, day = 0;
  bool valid() const { return year != 0; }
};

// The contact fields the Outlook object model exposes, by their Outlook names.
// Empty means "not set". The engine derives the properties Outlook keeps in
// step (file-as, subject, e-mail display names, full addresses); the display
// name is FullName when given, else composed from the name's parts.
struct Contact {
  std::string FirstName, MiddleName, LastName, CompanyName;
  std::string BusinessTelephoneNumber, BusinessFaxNumber, HomeTelephoneNumber, HomeFaxNumber,
      PagerNumber;
  std::string BusinessAddressStreet, BusinessAddressCity, BusinessAddressState,
      BusinessAddressPostalCode, BusinessAddressCountry;
  std::string HomeAddressStreet, HomeAddressCountry;
  std::string Email1Address, WebPage, OfficeLocation;
  std::string Body;
  // Beyond the first twenty. An empty address type is "SMTP".
  std::string MobileTelephoneNumber, Department, JobTitle, Title, Suffix, NickName;
  std::string Email1AddressType, Email2Address, Email2AddressType, Email3Address, Email3AddressType;
  std::string HomeAddressCity, HomeAddressState, HomeAddressPostalCode;
  std::string OtherTelephoneNumber, PersonalHomePage, IMAddress, Spouse, YomiFirstName, YomiLastName;
  std::string FullName;  // the name the contact is shown by (its subject too)
  std::vector<std::string> Children, Categories;
  int Gender = 0;  // Outlook's OlGender: 0 unspecified, 1 female, 2 male
  CalendarDate Birthday, Anniversary;  // stored as Outlook does: midnight UTC of the date
};

// Items are named by handles unique in the process, so that they stay
// valid when their folder moves to another store.
using ItemId = std::uint64_t;

// A member of a distribution list: a contact of the same store (its first
// e-mail address), another list of the same store, or, when both are 0, a
// one-off address.
struct DistListMember {
  ItemId contact = 0;
  std::string displayName;  // as the member shows in the list
  std::string address;
  std::string addressType;  // empty: "SMTP"
  ItemId list = 0;          // a list inside the list, as Outlook's lists hold lists
};

// A personal distribution list (Outlook's DistListItem).
struct DistList {
  std::string DLName;
  std::string Body;
  std::vector<std::string> Categories;
  std::vector<DistListMember> members;
};

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

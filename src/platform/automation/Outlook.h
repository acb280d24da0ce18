// Outlook's automation interface (ProgID "Outlook.Application"), the members
// the exports call. The program registers an Outlook stand-in that writes
// real .pst files; tests register recording or failing fakes. Every member
// may throw AutomationError with the cause.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Automation.h"

namespace automation::outlook {

inline constexpr const char* kOutlookProgId = "Outlook.Application";

// OlDefaultFolders / OlItemType value for contacts.
inline constexpr int olFolderContacts = 10;
// OlItemType of a distribution list.
inline constexpr int olDistributionListItem = 7;
// OlStoreType codes for AddStoreEx.
inline constexpr std::int16_t olStoreDefault = 1;
inline constexpr std::int16_t olStoreUnicode = 2;
inline constexpr std::int16_t olStoreANSI = 3;

class Folder;

class ContactItem : public Object {
 public:
  // Sets a property by its object-model name ("FirstName", ..., "body");
  // an unknown name throws. Dates are given as "yyyy-mm-dd", Gender as
  // OlGender's number, Children and Categories as comma-separated lists.
  virtual void SetProperty(const std::string& name, const std::string& value) = 0;
  virtual void Save() = 0;
};

class DistListItem : public Object {
 public:
  // "DLName", "Body", "Categories"; an unknown name throws.
  virtual void SetProperty(const std::string& name, const std::string& value) = 0;
  // A saved contact of the same store as a member: its first e-mail
  // address, as Outlook resolves a recipient to a contact.
  virtual void AddMember(ContactItem& contact) = 0;
  // An address that is no contact (Outlook's one-off recipient).
  virtual void AddOneOffMember(const std::string& displayName, const std::string& address,
                               const std::string& addressType) = 0;
  // A saved list of the same store as a member: Outlook's lists hold lists.
  virtual void AddListMember(DistListItem& /*list*/) {
    throw AutomationError("DistListItem.AddMember: this Outlook cannot put a list inside a list.");
  }
  virtual void Save() = 0;
};

class Items : public Object {
 public:
  // A new item of the folder's default kind: a contact in a contacts folder.
  virtual std::shared_ptr<ContactItem> Add() = 0;
  // Items.Add(olDistributionListItem). An Outlook without lists refuses.
  virtual std::shared_ptr<DistListItem> AddDistList() {
    throw AutomationError("Items.Add: this Outlook cannot make distribution lists.");
  }
};

class Folders : public Object {
 public:
  virtual std::shared_ptr<Folder> Add(const std::string& name, int type) = 0;
  // The folder (or store root, in a namespace's collection) added last.
  virtual std::shared_ptr<Folder> GetLast() = 0;
};

class Folder : public Object {
 public:
  virtual std::string Name() = 0;
  // On a store's root folder this renames the store as Outlook shows it.
  virtual void SetName(const std::string& name) = 0;
  virtual std::shared_ptr<automation::outlook::Folders> Folders() = 0;
  virtual std::shared_ptr<automation::outlook::Items> Items() = 0;
  // Moves this folder with its items and subfolders under destination.
  virtual void MoveTo(Folder& destination) = 0;
};

class Namespace : public Object {
 public:
  // Creates the file when missing and attaches it to the profile.
  virtual void AddStore(const std::string& path) = 0;
  virtual void AddStoreEx(const std::string& path, std::int16_t type) = 0;
  // Detaches the store whose root folder this is; the file stays.
  virtual void RemoveStore(Folder& storeRoot) = 0;
  // The root folders of the stores attached, in the order attached.
  virtual std::shared_ptr<automation::outlook::Folders> Folders() = 0;
  virtual std::shared_ptr<Folder> GetDefaultFolder(int folderType) = 0;
};

class Application : public Object {
 public:
  virtual std::shared_ptr<Namespace> GetNamespace(const std::string& type) = 0;
  virtual std::string version() = 0;
};

}  // namespace automation::outlook

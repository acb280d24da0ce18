// What a store holds, apart from the store: the two formats, the contact and
// the distribution list as callers hand them in. The engine's lower parts
// (property lists, packing) work on these without the store itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace pst

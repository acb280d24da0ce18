// The whole address book as one model, free of Qt: every contact with every
// field the book holds, the groups (distribution lists) with their members,
// the folders, and on request the deleted contacts still recoverable from
// obsolete record copies. Exports that need more than the reader's 20 keys
// read this; the "warjo.wab" cursor (WabReader) stays as it is.
//
// Texts are UTF-8, exactly as stored (CR LF kept); an absent field is empty.
// Objects are kept in record-id order. Links between objects are record ids,
// resolved through the Find* lookups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wab {

class WabFile;
struct Record;

// The single-valued text fields of a contact (or of a group's own card).
// Display name, e-mail addresses, children, gender and dates have their own
// members below.
enum class Field : std::uint8_t {
  Prefix,
  GivenName,
  MiddleName,
  Surname,
  Suffix,
  Nickname,
  PhoneticGivenName,
  PhoneticSurname,
  Im,
  Company,
  Department,
  JobTitle,
  Office,
  BusinessStreet,
  BusinessCity,
  BusinessState,
  BusinessPostalCode,
  BusinessCountry,
  BusinessPhone,
  BusinessFax,
  Pager,
  IpPhone,
  BusinessWeb,
  HomeStreet,
  HomeCity,
  HomeState,
  HomePostalCode,
  HomeCountry,
  HomePhone,
  HomeFax,
  Mobile,
  PersonalWeb,
  Spouse,
  Notes,
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Notes) + 1;

// The name each field goes by in `list --all` and wherever a stable key is
// wanted, indexed by Field.
inline constexpr std::array<std::string_view, kFieldCount> kFieldKeys{
    "prefix",         "givenName",          "middleName",      "surname",
    "suffix",         "nickname",           "phoneticGivenName", "phoneticSurname",
    "im",             "company",            "department",      "jobTitle",
    "office",         "businessStreet",     "businessCity",    "businessState",
    "businessPostalCode", "businessCountry", "businessPhone",  "businessFax",
    "pager",          "ipPhone",            "businessWeb",     "homeStreet",
    "homeCity",       "homeState",          "homePostalCode",  "homeCountry",
    "homePhone",      "homeFax",            "mobile",          "personalWeb",
    "spouse",         "notes"};

constexpr std::string_view FieldKey(Field f) { return kFieldKeys[static_cast<std::size_t>(f)]; }

// A calendar date as the person entered it; never shifted by a time zone.
struct Date {
  int year = 0;   // 0: no date
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  bool valid() const { return year != 0; }
  friend bool operator==(const Date&, const Date&) = default;
};

enum class Gender : std::uint8_t { Unspecified = 0, Female = 1, Male = 2 };

struct EmailAddress {
  std::string address;
  std::string type;         // address type as stored ("SMTP"), may be empty
  bool isDefault = false;   // exactly one address of a contact that has any
  friend bool operator==(const EmailAddress&, const EmailAddress&) = default;
};

// A contact, or the card of a group (a group may carry the same properties).
struct Contact {
  std::uint32_t id = 0;  // record id
  std::string displayName;
  std::array<std::string, kFieldCount> fields;
  std::vector<EmailAddress> emails;  // stored order
  std::vector<std::string> children;
  Gender gender = Gender::Unspecified;
  Date birthday;
  Date anniversary;
  // Last modification (UTC) as seconds since 1970; nullopt when not stored.
  std::optional<std::int64_t> modified;
  std::optional<std::uint32_t> folder;  // record id of the folder holding it
  std::vector<std::uint32_t> groups;    // ids of the groups listing it, ascending (contacts only)
  bool deleted = false;                 // recovered from an obsolete copy

  const std::string& operator[](Field f) const { return fields[static_cast<std::size_t>(f)]; }
  std::string& operator[](Field f) { return fields[static_cast<std::size_t>(f)]; }
  // The default address, or nullptr when there is none.
  const EmailAddress* DefaultEmail() const;
};

struct Member {
  enum class Kind : std::uint8_t {
    Record,   // a contact or group of this book: id
    Missing,  // names a record that is gone: id
    OneOff,   // an address that is not an entry: displayName, email, addressType
  };
  Kind kind = Kind::Record;
  std::uint32_t id = 0;
  std::string displayName;
  std::string email;
  std::string addressType;
  friend bool operator==(const Member&, const Member&) = default;
};

struct Group : Contact {
  std::vector<Member> members;  // stored order: record members, then one-off members
};

struct Folder {
  std::uint32_t id = 0;
  std::string displayName;
  std::optional<std::uint32_t> parent;  // record id of the parent folder
};

struct BookOptions {
  bool recoverDeleted = false;
  int codePage = 0;  // for 8-bit texts; 0: the ANSI code page of the user's locale
};

// Fields by their index (Field), for reads that want only some.
using FieldSet = std::array<bool, kFieldCount>;

struct Book {
  std::vector<Folder> folders;    // record-id order
  std::vector<Contact> contacts;  // record-id order; recovered ones among them when asked
  std::vector<Group> groups;      // record-id order
  std::uint32_t skippedRecords = 0;     // damaged records left out
  std::uint32_t skippedProperties = 0;  // properties of a type or shape nobody reads
  std::uint32_t deletedRecovered = 0;
  int codePage = 0;                     // the code page 8-bit texts were decoded with

  const Folder* FindFolder(std::uint32_t id) const;
  const Contact* FindContact(std::uint32_t id) const;
  const Group* FindGroup(std::uint32_t id) const;
};

// The model of a parsed file. Never throws for damaged records: they are
// left out and counted.
Book ReadBook(const WabFile& file, const BookOptions& options = {});

// The same book with its contacts handed to visit one at a time, in
// record-id order, instead of kept, for callers that write each contact out
// and need not hold a large book in memory. visit also gets the book read so
// far: its folders and groups (complete), no contacts. The contact passed is
// reused after visit returns. The returned book holds no contacts.
using ContactVisitor = std::function<void(const Book& book, const Contact& contact)>;
Book ReadBook(const WabFile& file, const BookOptions& options, const ContactVisitor& visit);

// A book read for writing out one contact at a time by exports that must
// not hold a large book: its folders and groups are read whole at once
// (Outline()), each contact is decoded only when asked, complete with its
// folder and groups, into the caller's object. A contact asked for twice
// is counted once in Outline()'s counts. The file must outlive it.
class BookContacts {
 public:
  BookContacts(const WabFile& file, const BookOptions& options);
  ~BookContacts();
  BookContacts(const BookContacts&) = delete;
  BookContacts& operator=(const BookContacts&) = delete;

  // Folders, groups and the counts so far; no contacts.
  const Book& Outline() const;
  // Contacts in record-id order, recovered ones among them when asked.
  std::size_t Count() const;
  // The contact at position i of that order; false for a damaged record
  // (counted in Outline().skippedRecords). Throws
  // automation::AutomationError (kBookCutShort) when the file turns out
  // cut short while it is read.
  bool ReadAt(std::size_t i, Contact& c);
  // The same, decoding only the texts of the fields in only (the display
  // name not at all; addresses, children, dates and links always), for a
  // quick pass that measures something of every contact. Counts as above.
  bool ReadAt(std::size_t i, Contact& c, const FieldSet* only);
  // The position of the contact with that record id, if the book has one.
  std::optional<std::size_t> Position(std::uint32_t id) const;
  // The contact with that record id; false when the book has none.
  bool ReadId(std::uint32_t id, Contact& c);
  // The contact held in rec, a record of this file already read (as the
  // reader selected it); false when rec is no contact of this book.
  bool Decode(const Record& rec, Contact& c);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Opens path and reads the whole book. Throws automation::AutomationError as
// WabReader::Open does (the same messages: a missing or unreadable file is
// named with its cause; a file that is not a book gives
// automation::kNotAnAddressBook).
Book LoadBook(const std::string& path, const BookOptions& options = {});
// The same, contact by contact (see ReadBook above).
Book LoadBook(const std::string& path, const BookOptions& options, const ContactVisitor& visit);

}  // namespace wab

// What every export of the whole book derives from a contact the same way:
// the name it goes by, its e-mail addresses default first, its phones with
// their kinds, a stable identifier, dates as text. Plain C++, no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/wab/WabBook.h"

namespace exports {

// The name a contact goes by, never empty: the display name, else given name
// and surname, else the company, else the default e-mail address, else any
// address, else the nickname, else "(no name)".
std::string FormattedName(const wab::Contact& contact);

// The addresses with the default one first, the others in stored order.
std::vector<const wab::EmailAddress*> EmailsDefaultFirst(const wab::Contact& contact);

// The phone fields in the order every export lists them, with their kind.
enum class PhoneKind : std::uint8_t { WorkVoice, WorkFax, Pager, IpPhone, HomeVoice, HomeFax, Mobile };
struct PhoneField {
  wab::Field field;
  PhoneKind kind;
};
inline constexpr std::array<PhoneField, 7> kPhoneFields{{
    {wab::Field::BusinessPhone, PhoneKind::WorkVoice},
    {wab::Field::BusinessFax, PhoneKind::WorkFax},
    {wab::Field::Pager, PhoneKind::Pager},
    {wab::Field::IpPhone, PhoneKind::IpPhone},
    {wab::Field::HomePhone, PhoneKind::HomeVoice},
    {wab::Field::HomeFax, PhoneKind::HomeFax},
    {wab::Field::Mobile, PhoneKind::Mobile},
}};

// A name-based identifier in UUID form (version 8), the same for the same
// record of the same book on every run: it hashes the record id with the
// record's names and addresses, so records of two different books rarely
// share one.
std::string StableUuid(const wab::Contact& contact, bool isGroup);

// "1970-03-05"; "" for a date that is not set or not a calendar date.
std::string IsoDate(const wab::Date& date);
// "19700305" (the basic form), "" as above.
std::string IsoDateBasic(const wab::Date& date);
bool IsCalendarDate(const wab::Date& date);

// Seconds since 1970 (UTC) as "2004-05-06T07:08:09Z", or in the basic form
// "20040506T070809Z".
std::string IsoTimestamp(std::int64_t seconds, bool basic);

// Line breaks as stored (CR LF, or a lone CR or LF) made one "\n" each.
std::string UnixLineBreaks(std::string_view text);

// What member lists need of the book: its groups by record id, and of each
// contact a group lists, what a member line shows of it. The contacts a
// book holds are taken at once; an export that reads the book one contact
// at a time hands each over as it writes it (Note), before the groups, so
// only the listed contacts' few texts are kept.
class BookIndex {
 public:
  struct MemberContact {
    std::string name;   // FormattedName
    std::string email;  // the default address, else the first; may be empty
    std::string uuid;   // StableUuid
  };

  explicit BookIndex(const wab::Book& book);
  // Keeps what member lines show of the contact when a group lists it.
  void Note(const wab::Contact& contact);
  // A listed contact noted so far (a damaged one never is), or nullptr.
  const MemberContact* Contact(std::uint32_t id) const;
  const wab::Group* Group(std::uint32_t id) const;
  // The names of the groups listing the contact, in the contact's order.
  std::vector<std::string> GroupNames(const wab::Contact& contact) const;

 private:
  std::unordered_map<std::uint32_t, const wab::Group*> groups_;
  // Every contact id a group lists; filled in as those contacts are noted.
  std::unordered_map<std::uint32_t, std::optional<MemberContact>> members_;
};

}  // namespace exports

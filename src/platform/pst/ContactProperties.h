// A contact as the properties Outlook stores for it: the fields it was given
// and the ones Outlook computes from them and keeps in step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pst/Ltp.h"
#include "platform/pst/Items.h"

namespace pst::detail {

// The named properties this writer uses: numeric names in the address
// property set {00062004-0000-0000-C000-000000000046}, entry i stored under
// property id 0x8000 + i, then the string name "Keywords" of
// PS_PUBLIC_STRINGS under KeywordsPropId(). A store's name-to-id map lists
// the entries up to the highest one its items use, so a store of the first
// twenty fields keeps the map it always had.
const std::vector<std::uint16_t>& NamedLids();
std::uint16_t NamedPropId(std::uint16_t lid);
std::uint16_t KeywordsPropId();
inline constexpr const char16_t* kKeywordsName = u"Keywords";

// Named property numbers.
enum Lid : std::uint16_t {
  kLidHomeAddress = 0x801A,
  kLidWorkAddress = 0x801B,
  kLidPostalAddressId = 0x8022,
  kLidFileUnder = 0x8005,
  kLidFileUnderId = 0x8006,
  kLidAbProviderEmailList = 0x8028,
  kLidAbProviderArrayType = 0x8029,
  kLidHtml = 0x802B,
  kLidWorkAddressStreet = 0x8045,
  kLidWorkAddressCity = 0x8046,
  kLidWorkAddressState = 0x8047,
  kLidWorkAddressPostalCode = 0x8048,
  kLidWorkAddressCountry = 0x8049,
  kLidEmail1DisplayName = 0x8080,
  kLidEmail1AddressType = 0x8082,
  kLidEmail1EmailAddress = 0x8083,
  kLidEmail1OriginalDisplayName = 0x8084,
  kLidEmail2DisplayName = 0x8090,
  kLidEmail2AddressType = 0x8092,
  kLidEmail2EmailAddress = 0x8093,
  kLidEmail2OriginalDisplayName = 0x8094,
  kLidEmail3DisplayName = 0x80A0,
  kLidEmail3AddressType = 0x80A2,
  kLidEmail3EmailAddress = 0x80A3,
  kLidEmail3OriginalDisplayName = 0x80A4,
  kLidInstantMessagingAddress = 0x8062,
  kLidYomiFirstName = 0x802C,
  kLidYomiLastName = 0x802D,
  kLidBirthdayLocal = 0x80DE,
  kLidWeddingAnniversaryLocal = 0x80DF,
  kLidDistributionListChecksum = 0x804C,
  kLidDistributionListName = 0x8053,
  kLidDistributionListOneOffMembers = 0x8054,
  kLidDistributionListMembers = 0x8055,
};

// Property tags of the contact's own properties beyond the twenty, [MS-OXPROPS].
enum Tag : std::uint16_t {
  kTagBody = 0x1000,
  kTagGeneration = 0x3A05,
  kTagTitle = 0x3A17,
  kTagDepartmentName = 0x3A18,
  kTagMobileTelephoneNumber = 0x3A1C,
  kTagOtherTelephoneNumber = 0x3A1F,
  kTagWeddingAnniversary = 0x3A41,
  kTagBirthday = 0x3A42,
  kTagDisplayNamePrefix = 0x3A45,
  kTagSpouseName = 0x3A48,
  kTagGender = 0x3A4D,
  kTagNickname = 0x3A4F,
  kTagPersonalHomePage = 0x3A50,
  kTagChildrensNames = 0x3A58,
  kTagHomeAddressCity = 0x3A59,
  kTagHomeAddressPostalCode = 0x3A5B,
  kTagHomeAddressStateOrProvince = 0x3A5C,
};

// A multi-valued text: count, offsets, then each value with its terminator,
// in the format's encoding.
Bytes MultiString(const std::vector<std::string>& values, const LtpFormat& fmt);
// A multi-valued binary: count, offsets, then the values.
Bytes MultiBinary(const std::vector<Bytes>& values);
// FILETIME of midnight UTC on the date.
std::uint64_t DateFiletime(const CalendarDate& d);

// "First Middle Last" from the parts that are set.
std::string FullName(const Contact& c);
// What Outlook files the contact under ("Last, First Middle", or the full
// name, the company, the e-mail address), and how it was built.
std::string FileAs(const Contact& c, std::uint32_t* fileAsId = nullptr);
// The name the item shows: the full name, else the company, else the address.
std::string DisplayName(const Contact& c);
// Address blocks as Outlook joins them: lines separated by CR LF.
std::string BusinessAddress(const Contact& c);
std::string HomeAddress(const Contact& c);

// Text the item derives from the fields, kept from contact to contact so
// that its buffers are reused.
struct ContactScratch {
  std::string full, given, fileAs, emailName, line2, work, home;
};

// The properties every message item of ours carries, contact or list alike:
// importance, sensitivity, read, icon, times, search key (16 random bytes)
// and, in an ANSI store, the code page of its texts.
inline constexpr std::uint32_t kIconContact = 0x200;
inline constexpr std::uint32_t kIconDistList = 0x202;
void MessageBasics(std::uint32_t icon, const LtpFormat& fmt, std::uint64_t now, const std::uint8_t (&searchKey)[16],
                   PropertyList& p);

// Every property of the contact item, into out (cleared first). searchKey
// is 16 random bytes.
void ContactItemProperties(const Contact& c, const LtpFormat& fmt, std::uint64_t now,
                           const std::uint8_t (&searchKey)[16], PropertyList& out,
                           ContactScratch& scratch);

}  // namespace pst::detail

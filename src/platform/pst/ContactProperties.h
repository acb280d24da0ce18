// A contact as the properties Outlook stores for it: the fields it was given
// and the ones Outlook computes from them and keeps in step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pst/Ltp.h"
#include "platform/pst/PstStore.h"

namespace pst::detail {

// The named properties this writer uses, all in the address property set
// {00062004-0000-0000-C000-000000000046}, by their numeric names. Entry i
// is stored under property id 0x8000 + i.
const std::vector<std::uint16_t>& NamedLids();
std::uint16_t NamedPropId(std::uint16_t lid);

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
};

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

// Every property of the contact item, into out (cleared first). searchKey
// is 16 random bytes.
void ContactItemProperties(const Contact& c, const LtpFormat& fmt, std::uint64_t now,
                           const std::uint8_t (&searchKey)[16], PropertyList& out,
                           ContactScratch& scratch);

}  // namespace pst::detail

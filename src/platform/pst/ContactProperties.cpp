#include "platform/pst/ContactProperties.h"

#include <algorithm>
#include <array>

namespace pst::detail {

namespace {

constexpr std::array<std::uint16_t, 17> kNamedLids = {
    kLidFileUnder,         kLidFileUnderId,          kLidWorkAddressStreet,
    kLidWorkAddressCity,   kLidWorkAddressState,     kLidWorkAddressPostalCode,
    kLidWorkAddressCountry, kLidEmail1EmailAddress,  kLidHtml,
    kLidEmail1AddressType, kLidEmail1DisplayName,    kLidEmail1OriginalDisplayName,
    kLidAbProviderEmailList, kLidAbProviderArrayType, kLidWorkAddress,
    kLidHomeAddress,       kLidPostalAddressId,
};

// All our numeric names lie in 0x8000-0x80FF: their ids by their low byte,
// worked out once at compile time as every contact looks them up.
constexpr std::array<std::uint16_t, 256> kNamedIds = [] {
  std::array<std::uint16_t, 256> t{};
  for (std::size_t i = 0; i < kNamedLids.size(); ++i)
    t[kNamedLids[i] & 0xFF] = static_cast<std::uint16_t>(0x8000 + i);
  return t;
}();

}  // namespace

const std::vector<std::uint16_t>& NamedLids() {
  static const std::vector<std::uint16_t> lids(kNamedLids.begin(), kNamedLids.end());
  return lids;
}

std::uint16_t NamedPropId(std::uint16_t lid) {
  std::uint16_t id = (lid & 0xFF00) == 0x8000 ? kNamedIds[lid & 0xFF] : 0;
  if (id == 0) throw PstError("internal error: unregistered named property");
  return id;
}

namespace {

// Joins into out (replacing what it held), keeping its buffer.
void JoinNonEmptyInto(std::string& out, std::initializer_list<const std::string*> parts,
                      const char* sep) {
  out.clear();
  for (const std::string* p : parts) {
    if (p->empty()) continue;
    if (!out.empty()) out += sep;
    out += *p;
  }
}

void FullNameInto(std::string& out, const Contact& c) {
  JoinNonEmptyInto(out, {&c.FirstName, &c.MiddleName, &c.LastName}, " ");
}

std::uint32_t FileAsInto(std::string& out, std::string& given, const Contact& c) {
  std::uint32_t id = 0x8017;  // "Last, First"
  JoinNonEmptyInto(given, {&c.FirstName, &c.MiddleName}, " ");
  if (!c.LastName.empty() && !given.empty()) {
    out.assign(c.LastName);
    out += ", ";
    out += given;
  } else if (!c.LastName.empty() || !given.empty()) {
    out.assign(c.LastName.empty() ? given : c.LastName);
  } else if (!c.CompanyName.empty()) {
    out.assign(c.CompanyName);
    id = 0x3A16;
  } else if (!c.Email1Address.empty()) {
    out.assign(c.Email1Address);
    id = 0;
  } else {
    out.clear();
    id = 0;
  }
  return id;
}

void BusinessAddressInto(std::string& out, std::string& line2, const Contact& c) {
  JoinNonEmptyInto(line2,
                   {&c.BusinessAddressCity, &c.BusinessAddressState, &c.BusinessAddressPostalCode},
                   " ");
  JoinNonEmptyInto(out, {&c.BusinessAddressStreet, &line2, &c.BusinessAddressCountry}, "\r\n");
}

void HomeAddressInto(std::string& out, const Contact& c) {
  JoinNonEmptyInto(out, {&c.HomeAddressStreet, &c.HomeAddressCountry}, "\r\n");
}

}  // namespace

std::string FullName(const Contact& c) {
  std::string out;
  FullNameInto(out, c);
  return out;
}

std::string FileAs(const Contact& c, std::uint32_t* fileAsId) {
  std::string out, given;
  std::uint32_t id = FileAsInto(out, given, c);
  if (fileAsId) *fileAsId = id;
  return out;
}

std::string DisplayName(const Contact& c) {
  std::string n = FullName(c);
  if (n.empty()) n = c.CompanyName;
  if (n.empty()) n = c.Email1Address;
  return n;
}

std::string BusinessAddress(const Contact& c) {
  std::string out, line2;
  BusinessAddressInto(out, line2, c);
  return out;
}

std::string HomeAddress(const Contact& c) {
  std::string out;
  HomeAddressInto(out, c);
  return out;
}

void ContactItemProperties(const Contact& c, const LtpFormat& fmt, std::uint64_t now,
                           const std::uint8_t (&searchKey)[16], PropertyList& p,
                           ContactScratch& scratch) {
  p.Clear();
  // Many properties repeat a field or a derived text: each is converted
  // once, and again() copies its bytes for the others.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  auto str = [&](std::uint16_t id, const std::string& v) {
    if (v.empty()) return kNone;
    p.String(id, v, fmt);
    return p.entries().size() - 1;
  };
  auto again = [&](std::uint16_t id, std::size_t entry) {
    if (entry != kNone) p.Repeat(id, entry);
  };
  auto named = [&](std::uint16_t lid, const std::string& v) { return str(NamedPropId(lid), v); };

  std::string& full = scratch.full;
  FullNameInto(full, c);
  const std::string& display =
      !full.empty() ? full : !c.CompanyName.empty() ? c.CompanyName : c.Email1Address;
  const std::string& fileAs = scratch.fileAs;
  const std::uint32_t fileAsId = FileAsInto(scratch.fileAs, scratch.given, c);

  p.String(0x001A, "IPM.Contact", fmt);
  const std::size_t subject = str(0x0037, display);
  again(0x0E1D, subject);  // normalized subject
  again(0x0070, subject);  // conversation topic
  again(0x3001, subject);
  p.Int32(0x0017, 1);  // normal importance
  p.Int32(0x0036, 0);  // not sensitive
  p.Bool(0x0057, false);
  p.Bool(0x0058, false);
  p.Int32(0x0E07, 1);  // read
  p.Int32(0x0E17, 0);
  p.Int32(0x1080, 0x200);  // contact icon
  p.Time(0x3007, now);
  p.Time(0x3008, now);
  p.Raw(0x300B, kPtBinary, searchKey, sizeof searchKey);
  if (!fmt.unicode) {
    p.Int32(0x3FFD, static_cast<std::uint32_t>(fmt.codePage));
    p.Int32(0x3FDE, static_cast<std::uint32_t>(fmt.codePage));
  }

  // Gender "unspecified", on every contact: some readers (libpst) take an
  // item for a contact only once it holds a contact property with a value,
  // and an empty text field has none, so a contact of empty fields alone
  // would be passed over without it.
  p.Int16(0x3A4D, 0);
  str(0x3A06, c.FirstName);
  str(0x3A44, c.MiddleName);
  str(0x3A11, c.LastName);
  str(0x3A16, c.CompanyName);
  str(0x3A08, c.BusinessTelephoneNumber);
  str(0x3A24, c.BusinessFaxNumber);
  str(0x3A09, c.HomeTelephoneNumber);
  str(0x3A25, c.HomeFaxNumber);
  str(0x3A21, c.PagerNumber);
  const std::size_t homeStreet = str(0x3A5D, c.HomeAddressStreet);
  const std::size_t homeCountry = str(0x3A5A, c.HomeAddressCountry);
  str(0x3A19, c.OfficeLocation);
  const std::size_t webPage = str(0x3A51, c.WebPage);
  str(0x1000, c.Body);

  named(kLidFileUnder, fileAs);
  p.Int32(NamedPropId(kLidFileUnderId), fileAsId);
  const std::size_t workStreet = named(kLidWorkAddressStreet, c.BusinessAddressStreet);
  const std::size_t workCity = named(kLidWorkAddressCity, c.BusinessAddressCity);
  const std::size_t workState = named(kLidWorkAddressState, c.BusinessAddressState);
  const std::size_t workPostalCode = named(kLidWorkAddressPostalCode, c.BusinessAddressPostalCode);
  const std::size_t workCountry = named(kLidWorkAddressCountry, c.BusinessAddressCountry);
  again(NamedPropId(kLidHtml), webPage);

  if (!c.Email1Address.empty()) {
    const std::size_t email = named(kLidEmail1EmailAddress, c.Email1Address);
    p.String(NamedPropId(kLidEmail1AddressType), "SMTP", fmt);
    std::string& name = scratch.emailName;
    if (full.empty()) {
      name.assign(c.Email1Address);
    } else {
      name.assign(full);
      name += " (";
      name += c.Email1Address;
      name += ')';
    }
    named(kLidEmail1DisplayName, name);
    again(NamedPropId(kLidEmail1OriginalDisplayName), email);
    const std::uint8_t zero[4] = {};
    p.Raw(NamedPropId(kLidAbProviderEmailList), kPtMultiInt32, zero, 4);
    p.Int32(NamedPropId(kLidAbProviderArrayType), 1);
  }

  // The business address, when there is one, is the mailing address.
  const std::string& work = scratch.work;
  const std::string& home = scratch.home;
  BusinessAddressInto(scratch.work, scratch.line2, c);
  HomeAddressInto(scratch.home, c);
  const std::size_t workAddress = named(kLidWorkAddress, work);
  const std::size_t homeAddress = named(kLidHomeAddress, home);
  if (!work.empty()) {
    p.Int32(NamedPropId(kLidPostalAddressId), 2);
    again(0x3A29, workStreet);
    again(0x3A27, workCity);
    again(0x3A28, workState);
    again(0x3A2A, workPostalCode);
    again(0x3A26, workCountry);
    again(0x3A15, workAddress);
  } else if (!home.empty()) {
    p.Int32(NamedPropId(kLidPostalAddressId), 1);
    again(0x3A29, homeStreet);
    again(0x3A26, homeCountry);
    again(0x3A15, homeAddress);
  } else {
    p.Int32(NamedPropId(kLidPostalAddressId), 0);
  }

  // Roughly what the item's properties take, as Outlook reports it.
  std::size_t size = 8;
  for (const auto& e : p.entries()) size += 8 + e.size;
  p.Int32(0x0E08, static_cast<std::uint32_t>(size));
}

}  // namespace pst::detail

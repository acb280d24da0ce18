#include "platform/pst/ContactProperties.h"

#include <algorithm>
#include <array>

#include "platform/pst/PstError.h"

namespace pst::detail {

namespace {

// The first seventeen are those of the first twenty fields, in their first
// order, so that their ids never change; later ones only ever go after.
constexpr std::array<std::uint16_t, 35> kNamedLids = {
    kLidFileUnder,         kLidFileUnderId,          kLidWorkAddressStreet,
    kLidWorkAddressCity,   kLidWorkAddressState,     kLidWorkAddressPostalCode,
    kLidWorkAddressCountry, kLidEmail1EmailAddress,  kLidHtml,
    kLidEmail1AddressType, kLidEmail1DisplayName,    kLidEmail1OriginalDisplayName,
    kLidAbProviderEmailList, kLidAbProviderArrayType, kLidWorkAddress,
    kLidHomeAddress,       kLidPostalAddressId,
    kLidEmail2DisplayName, kLidEmail2AddressType,    kLidEmail2EmailAddress,
    kLidEmail2OriginalDisplayName, kLidEmail3DisplayName, kLidEmail3AddressType,
    kLidEmail3EmailAddress, kLidEmail3OriginalDisplayName, kLidInstantMessagingAddress,
    kLidYomiFirstName,     kLidYomiLastName,         kLidBirthdayLocal,
    kLidWeddingAnniversaryLocal, kLidDistributionListChecksum, kLidDistributionListName,
    kLidDistributionListOneOffMembers, kLidDistributionListMembers,
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

std::uint16_t KeywordsPropId() { return static_cast<std::uint16_t>(0x8000 + kNamedLids.size()); }

Bytes MultiString(const std::vector<std::string>& values, const LtpFormat& fmt) {
  // Each value converted once into one list, then laid out behind the offsets.
  thread_local PropertyList encoded;
  encoded.Clear();
  for (const std::string& v : values) encoded.String(0, v, fmt);
  const std::size_t terminator = fmt.unicode ? 2 : 1;
  Bytes out;
  Append32(out, static_cast<std::uint32_t>(values.size()));
  std::uint32_t at = static_cast<std::uint32_t>(4 + 4 * values.size());
  for (const auto& e : encoded.entries()) {
    Append32(out, at);
    at += static_cast<std::uint32_t>(e.size + terminator);
  }
  for (const auto& e : encoded.entries()) {
    AppendBytes(out, encoded.data(e), e.size);
    out.resize(out.size() + terminator, 0);  // each value ends with its terminator
  }
  return out;
}

Bytes MultiBinary(const std::vector<Bytes>& values) {
  Bytes out;
  Append32(out, static_cast<std::uint32_t>(values.size()));
  std::uint32_t at = static_cast<std::uint32_t>(4 + 4 * values.size());
  for (const Bytes& v : values) {
    Append32(out, at);
    at += static_cast<std::uint32_t>(v.size());
  }
  for (const Bytes& v : values) AppendBytes(out, v.data(), v.size());
  return out;
}

std::uint64_t DateFiletime(const CalendarDate& d) {
  if (!d.valid() || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.year < 1601 ||
      d.year > 9999)
    return 0;
  // Days from 1970-01-01 to the date in the proleptic Gregorian calendar.
  const int y = d.year - (d.month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int mp = (d.month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  return static_cast<std::uint64_t>((days * 86400 + 11644473600LL) * 10000000LL);
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

// The name given wins: a book's "Nakamura-san" or a family-name-first name
// would be something else rebuilt from its parts.
void FullNameInto(std::string& out, const Contact& c) {
  if (!c.FullName.empty()) {
    out.assign(c.FullName);
    return;
  }
  JoinNonEmptyInto(out, {&c.Title, &c.FirstName, &c.MiddleName, &c.LastName, &c.Suffix}, " ");
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

void HomeAddressInto(std::string& out, std::string& line2, const Contact& c) {
  JoinNonEmptyInto(line2, {&c.HomeAddressCity, &c.HomeAddressState, &c.HomeAddressPostalCode}, " ");
  JoinNonEmptyInto(out, {&c.HomeAddressStreet, &line2, &c.HomeAddressCountry}, "\r\n");
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
  std::string out, line2;
  HomeAddressInto(out, line2, c);
  return out;
}

void MessageBasics(std::uint32_t icon, const LtpFormat& fmt, std::uint64_t now, const std::uint8_t (&searchKey)[16],
                   PropertyList& p) {
  p.Int32(0x0017, 1);  // normal importance
  p.Int32(0x0036, 0);  // not sensitive
  p.Bool(0x0057, false);
  p.Bool(0x0058, false);
  p.Int32(0x0E07, 1);  // read
  p.Int32(0x0E17, 0);
  p.Int32(0x1080, icon);
  p.Time(0x3007, now);
  p.Time(0x3008, now);
  p.Raw(0x300B, kPtBinary, searchKey, sizeof searchKey);
  if (!fmt.unicode) {
    p.Int32(0x3FFD, static_cast<std::uint32_t>(fmt.codePage));
    p.Int32(0x3FDE, static_cast<std::uint32_t>(fmt.codePage));
  }
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
  MessageBasics(kIconContact, fmt, now, searchKey, p);

  // Gender "unspecified", on every contact: some readers (libpst) take an
  // item for a contact only once it holds a contact property with a value,
  // and an empty text field has none, so a contact of empty fields alone
  // would be passed over without it.
  p.Int16(kTagGender, static_cast<std::uint16_t>(c.Gender));
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
  str(kTagBody, c.Body);
  const std::size_t homeCity = str(kTagHomeAddressCity, c.HomeAddressCity);
  const std::size_t homeState = str(kTagHomeAddressStateOrProvince, c.HomeAddressState);
  const std::size_t homePostalCode = str(kTagHomeAddressPostalCode, c.HomeAddressPostalCode);

  named(kLidFileUnder, fileAs);
  p.Int32(NamedPropId(kLidFileUnderId), fileAsId);
  const std::size_t workStreet = named(kLidWorkAddressStreet, c.BusinessAddressStreet);
  const std::size_t workCity = named(kLidWorkAddressCity, c.BusinessAddressCity);
  const std::size_t workState = named(kLidWorkAddressState, c.BusinessAddressState);
  const std::size_t workPostalCode = named(kLidWorkAddressPostalCode, c.BusinessAddressPostalCode);
  const std::size_t workCountry = named(kLidWorkAddressCountry, c.BusinessAddressCountry);
  again(NamedPropId(kLidHtml), webPage);

  // E-mail 1 to 3, each with its type and the names Outlook shows for it.
  auto email = [&](const std::string& address, const std::string& type, std::uint16_t addressLid,
                   std::uint16_t typeLid, std::uint16_t nameLid, std::uint16_t originalLid) {
    if (address.empty()) return false;
    const std::size_t entry = named(addressLid, address);
    p.String(NamedPropId(typeLid), type.empty() ? std::string_view("SMTP") : std::string_view(type),
             fmt);
    std::string& name = scratch.emailName;
    if (full.empty()) {
      name.assign(address);
    } else {
      name.assign(full);
      name += " (";
      name += address;
      name += ')';
    }
    named(nameLid, name);
    again(NamedPropId(originalLid), entry);
    return true;
  };
  std::uint8_t present[12];
  std::uint32_t count = 0, mask = 0;
  if (email(c.Email1Address, c.Email1AddressType, kLidEmail1EmailAddress, kLidEmail1AddressType,
            kLidEmail1DisplayName, kLidEmail1OriginalDisplayName)) {
    Put32(present + 4 * count++, 0);
    mask |= 1;
  }
  if (email(c.Email2Address, c.Email2AddressType, kLidEmail2EmailAddress, kLidEmail2AddressType,
            kLidEmail2DisplayName, kLidEmail2OriginalDisplayName)) {
    Put32(present + 4 * count++, 1);
    mask |= 2;
  }
  if (email(c.Email3Address, c.Email3AddressType, kLidEmail3EmailAddress, kLidEmail3AddressType,
            kLidEmail3DisplayName, kLidEmail3OriginalDisplayName)) {
    Put32(present + 4 * count++, 2);
    mask |= 4;
  }
  if (count) {
    p.Raw(NamedPropId(kLidAbProviderEmailList), kPtMultiInt32, present, 4 * count);
    p.Int32(NamedPropId(kLidAbProviderArrayType), mask);
  }

  // The business address, when there is one, is the mailing address.
  const std::string& work = scratch.work;
  const std::string& home = scratch.home;
  BusinessAddressInto(scratch.work, scratch.line2, c);
  HomeAddressInto(scratch.home, scratch.line2, c);
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
    again(0x3A27, homeCity);
    again(0x3A28, homeState);
    again(0x3A2A, homePostalCode);
    again(0x3A26, homeCountry);
    again(0x3A15, homeAddress);
  } else {
    p.Int32(NamedPropId(kLidPostalAddressId), 0);
  }

  str(kTagMobileTelephoneNumber, c.MobileTelephoneNumber);
  str(kTagOtherTelephoneNumber, c.OtherTelephoneNumber);
  str(kTagDepartmentName, c.Department);
  str(kTagTitle, c.JobTitle);
  str(kTagDisplayNamePrefix, c.Title);
  str(kTagGeneration, c.Suffix);
  str(kTagNickname, c.NickName);
  str(kTagPersonalHomePage, c.PersonalHomePage);
  str(kTagSpouseName, c.Spouse);
  named(kLidInstantMessagingAddress, c.IMAddress);
  named(kLidYomiFirstName, c.YomiFirstName);
  named(kLidYomiLastName, c.YomiLastName);
  const std::uint16_t multiText = fmt.unicode ? 0x101F : 0x101E;
  if (!c.Children.empty()) {
    const Bytes v = MultiString(c.Children, fmt);
    p.Raw(kTagChildrensNames, multiText, v.data(), v.size());
  }
  if (!c.Categories.empty()) {
    const Bytes v = MultiString(c.Categories, fmt);
    p.Raw(KeywordsPropId(), multiText, v.data(), v.size());
  }
  // All-day dates, as Outlook keeps them: midnight UTC of the date, in the
  // contact's property and in the local copy newer Outlooks read.
  if (const std::uint64_t t = DateFiletime(c.Birthday)) {
    p.Time(kTagBirthday, t);
    p.Time(NamedPropId(kLidBirthdayLocal), t);
  }
  if (const std::uint64_t t = DateFiletime(c.Anniversary)) {
    p.Time(kTagWeddingAnniversary, t);
    p.Time(NamedPropId(kLidWeddingAnniversaryLocal), t);
  }

  // Roughly what the item's properties take, as Outlook reports it.
  std::size_t size = 8;
  for (const auto& e : p.entries()) size += 8 + e.size;
  p.Int32(0x0E08, static_cast<std::uint32_t>(size));
}

}  // namespace pst::detail

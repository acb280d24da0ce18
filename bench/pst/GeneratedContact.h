// The generated contacts the pst benchmark and the golden-file program
// write: realistic lengths, some fields empty; with gaps, whole names,
// companies, addresses and e-mail addresses go missing too.
#pragma once

#include <string>

#include "platform/pst/PstStore.h"

inline pst::Contact GeneratedContact(int i, bool gaps) {
  auto keep = [gaps, i](int every) { return !gaps || i % every != 0; };
  const std::string n = std::to_string(i);
  pst::Contact c;
  c.FirstName = "Given" + n;
  c.MiddleName = i % 3 ? "" : "M";
  c.LastName = keep(7) ? "Family" + n : "";
  c.CompanyName = keep(11) ? "Company " + std::to_string(i % 500) : "";
  c.BusinessTelephoneNumber = "+1 555 100 " + n;
  c.BusinessFaxNumber = i % 4 ? "" : "+1 555 200 " + n;
  c.HomeTelephoneNumber = "+1 555 300 " + n;
  c.HomeFaxNumber = i % 5 ? "" : "+1 555 400 " + n;
  c.PagerNumber = "+1 555 500 " + n;
  if (keep(13)) {
    c.BusinessAddressStreet = n + " Work Street";
    c.BusinessAddressCity = "Worktown";
    c.BusinessAddressState = "WS";
    c.BusinessAddressPostalCode = "W" + n;
    c.BusinessAddressCountry = "Workland";
  }
  c.HomeAddressStreet = n + " Home Road";
  c.HomeAddressCountry = keep(2) ? "Homeland" : "";
  c.Email1Address = keep(9) ? "person" + n + "@example.com" : "";
  c.WebPage = "http://example.com/" + n;
  c.OfficeLocation = "Room " + n;
  c.Body = "Notes for contact " + n + ".\r\nMet at the conference; prefers e-mail.";
  return c;
}

// Every field the engine takes set, at the lengths of the generated ones:
// the first twenty as GeneratedContact without gaps, then the rest.
inline pst::Contact CompleteContact(int i) {
  pst::Contact c = GeneratedContact(i, false);
  const std::string n = std::to_string(i);
  c.MiddleName = "M";
  c.BusinessFaxNumber = "+1 555 200 " + n;
  c.HomeFaxNumber = "+1 555 400 " + n;
  c.MobileTelephoneNumber = "+1 555 600 " + n;
  c.OtherTelephoneNumber = "+1 555 700 " + n;
  c.Department = "Department " + std::to_string(i % 40);
  c.JobTitle = "Engineer";
  c.Title = "Dr.";
  c.Suffix = "Jr.";
  c.NickName = "Nick" + n;
  c.Email2Address = "second" + n + "@example.org";
  c.Email2AddressType = "SMTP";
  c.Email3Address = "third" + n + "@example.net";
  c.Email3AddressType = "SMTP";
  c.HomeAddressCity = "Hometown";
  c.HomeAddressState = "HS";
  c.HomeAddressPostalCode = "H" + n;
  c.PersonalHomePage = "http://home.example.com/" + n;
  c.IMAddress = "im" + n + "@example.com";
  c.Spouse = "Spouse" + n;
  c.YomiFirstName = "yomi-given-" + n;
  c.YomiLastName = "yomi-family-" + n;
  c.Children = {"Child A" + n, "Child B" + n};
  c.Categories = {"Group " + std::to_string(i % 50), "Everyone"};
  c.Gender = 1 + i % 2;
  c.Birthday = {1950 + i % 50, 1 + i % 12, 1 + i % 28};
  c.Anniversary = {1980 + i % 40, 1 + (i + 5) % 12, 1 + (i + 9) % 28};
  return c;
}

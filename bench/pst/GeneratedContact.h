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

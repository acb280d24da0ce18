#include "PstTestUtil.h"

#include "support/TestData.h"

namespace psttest {

pst::Contact FullContact(int i) {
  const std::string n = std::to_string(i);
  pst::Contact c;
  c.FirstName = "Given" + n;
  c.MiddleName = "M";
  c.LastName = "Family" + n;
  c.CompanyName = "Company " + n;
  c.BusinessTelephoneNumber = "+1 555 100 " + n;
  c.BusinessFaxNumber = "+1 555 200 " + n;
  c.HomeTelephoneNumber = "+1 555 300 " + n;
  c.HomeFaxNumber = "+1 555 400 " + n;
  c.PagerNumber = "+1 555 500 " + n;
  c.BusinessAddressStreet = n + " Work Street";
  c.BusinessAddressCity = "Worktown";
  c.BusinessAddressState = "WS";
  c.BusinessAddressPostalCode = "W" + n;
  c.BusinessAddressCountry = "Workland";
  c.HomeAddressStreet = n + " Home Road";
  c.HomeAddressCountry = "Homeland";
  c.Email1Address = "person" + n + "@example.com";
  c.WebPage = "http://example.com/" + n;
  c.OfficeLocation = "Room " + n;
  c.Body = "Notes for " + n + "\r\nsecond line";
  return c;
}

const PffWanted& ContactWanted() {
  static const PffWanted w{
      {0x001A, 0x0037, 0x3001, 0x3A06, 0x3A44, 0x3A11, 0x3A16, 0x3A08, 0x3A24, 0x3A09, 0x3A25,
       0x3A21, 0x3A5D, 0x3A5A, 0x3A19, 0x3A51, 0x1000, 0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26,
       0x8005, 0x8045, 0x8046, 0x8047, 0x8048, 0x8049, 0x8083, 0x802B, 0x8080, 0x8082, 0x8084,
       0x801A, 0x801B},
      {0x0E07, 0x8006, 0x8022, 0x8029, 0x3FFD},
      {0x300B},
      {}};
  return w;
}

std::string WriteContactsFile(const std::filesystem::path& file, pst::Format format, int count,
                              int codePage) {
  pst::Store store(format, "Windows Address Book Contacts", codePage);
  const std::string name = "WAB Contacts 06-12-2026 03-29-10";
  pst::FolderId folder = store.AddFolder(store.TopOfPersonalFolders(), name, "IPF.Contact");
  for (int i = 0; i < count; ++i) store.AddContact(folder, FullContact(i));
  store.Write(file);
  return name;
}

std::string Run(const std::string& command, int* status) {
  std::string out;
  int rc = testsupport::RunCommand(command, &out);
  if (status) *status = rc;
  return out;
}

std::size_t CountLines(const std::string& text, const std::string& prefix) {
  std::size_t n = 0, pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (text.compare(pos, prefix.size(), prefix) == 0) ++n;
    pos = end + 1;
  }
  return n;
}

}  // namespace psttest

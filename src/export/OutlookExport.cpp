#include "export/OutlookExport.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <locale>
#include <memory>
#include <string_view>

#include "platform/automation/AddressBookReader.h"
#include "platform/automation/Outlook.h"

namespace exports {

namespace ao = automation::outlook;
using automation::AutomationError;

namespace {

std::tm LocalTime(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string Format(const char* pattern, const std::tm& tm) {
  char buf[64];
  const std::size_t n = std::strftime(buf, sizeof buf, pattern, &tm);
  return std::string(buf, n);
}

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      ok = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) {
      out += static_cast<char32_t>(0xDC00 + c);  // kept as a lone marker, restored by Encode
      ++i;
      continue;
    }
    out += cp;
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::string Encode(std::u32string_view s) {
  std::string out;
  for (char32_t cp : s) {
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out += static_cast<char>(cp - 0xDC00);
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Lower case for every script the C library knows, not only ASCII, as the
// file names of address books are often not English.
void ToLower(std::u32string& s) {
  static const std::locale utf8 = [] {
    try {
      return std::locale("C.UTF-8");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  const auto& ct = std::use_facet<std::ctype<wchar_t>>(utf8);
  for (char32_t& c : s) {
    if (c >= 0xDC80 && c <= 0xDCFF) continue;
    c = static_cast<char32_t>(ct.tolower(static_cast<wchar_t>(c)));
  }
}

std::string TrimSpaces(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

template <class T>
std::shared_ptr<T> Need(std::shared_ptr<T> p, const char* what) {
  if (!p) throw AutomationError(std::string("Outlook returned no ") + what + ".");
  return p;
}

// The reader's fields in the order they are read for each contact.
enum Field { kName, kMiddleName, kSurname, kHomeEmail, kCompanyName, kBusinessAddress, kCity, kPostal,
             kProvince, kCountry, kOfficeLocation, kCompanyURL, kDepartment, kBusinessPhone, kBusinessFax,
             kHomeAddress, kCountryAgain, kHomePhone, kFax, kCellPhone, kComment, kFieldCount };
constexpr std::array<const char*, kFieldCount> kReadOrder{
    "Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
    "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department", "BusinessPhone",
    "BusinessFax", "HomeAddress", "Country", "HomePhone", "Fax", "CellPhone", "Comment"};

// The contact item's properties in the order they are set, with their field.
constexpr std::array<std::pair<const char*, Field>, 20> kItemProperties{{
    {"FirstName", kName},
    {"MiddleName", kMiddleName},
    {"LastName", kSurname},
    {"CompanyName", kCompanyName},
    {"BusinessTelephoneNumber", kBusinessPhone},
    {"BusinessFaxNumber", kBusinessFax},
    {"HomeTelephoneNumber", kHomePhone},
    {"HomeFaxNumber", kFax},
    {"PagerNumber", kCellPhone},
    {"BusinessAddressStreet", kBusinessAddress},
    {"BusinessAddressCity", kCity},
    {"BusinessAddressState", kProvince},
    {"BusinessAddressPostalCode", kPostal},
    {"BusinessAddressCountry", kCountry},
    {"HomeAddressStreet", kHomeAddress},
    {"HomeAddressCountry", kCountryAgain},
    {"Email1Address", kHomeEmail},
    {"WebPage", kCompanyURL},
    {"OfficeLocation", kOfficeLocation},
    {"body", kComment},
}};

}  // namespace

std::int16_t StoreTypeCode(OutlookOption option) {
  return option == OutlookOption::OptOutlook2K ? ao::olStoreANSI : ao::olStoreUnicode;
}

bool IsOlderOutlook(const std::string& version) {
  return version.find("9.") != std::string::npos || version.find("10.") != std::string::npos;
}

std::int32_t WholeStep(std::int32_t count) {
  std::int32_t q = count / 100;
  const std::int32_t r = count % 100;
  if (r > 50 || (r == 50 && q % 2 != 0)) ++q;
  return q;
}

std::string OutlookOutputPath(const std::string& bookPath, const std::string& folder,
                              std::chrono::system_clock::time_point when) {
  std::u32string name = Decode(bookPath);
  ToLower(name);
  const std::u32string from = U".wab", to = U".pst";
  for (std::size_t at = 0; (at = name.find(from, at)) != std::u32string::npos; at += to.size())
    name.replace(at, from.size(), to);
  name.resize(name.size() > 4 ? name.size() - 4 : 0);

  std::string file = Encode(name) + Format("-%d-%m-%Y-%H-%M-%S.pst", LocalTime(when));
  if (const auto slash = file.rfind('/'); slash != std::string::npos) file.erase(0, slash + 1);

  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + file;
}

std::string ContactsFolderName(std::chrono::system_clock::time_point when) {
  return kContactsFolderPrefix + Format("%d-%m-%Y %H:%M:%S", LocalTime(when));
}

OutlookExportResult RunOutlookExport(const OutlookExportRequest& request) {
  const Clock now = request.now ? request.now : Clock([] { return std::chrono::system_clock::now(); });
  OutlookExportResult result;
  result.pstPath = OutlookOutputPath(request.bookPath, request.outputFolder, now());
  const std::string& pstPath = result.pstPath;

  // Wider than 16 bits: books of 32,767 contacts and more export whole.
  std::int64_t privateCounter = 0;
  std::int64_t& counter = request.progressCounter ? *request.progressCounter : privateCounter;

  try {
    const auto& registry = automation::Registry::Instance();
    auto app = registry.Create<ao::Application>(ao::kOutlookProgId);
    auto mapi = app->GetNamespace("MAPI");

    auto attach = [&] {
      if (IsOlderOutlook(app->version()))
        mapi->AddStore(pstPath);
      else
        mapi->AddStoreEx(pstPath, StoreTypeCode(request.option));
    };

    attach();
    {
      // Renamed, then detached and attached again so Outlook shows the new name.
      auto root = Need(mapi->Folders()->GetLast(), "store folder");
      root->SetName(kOutlookStoreName);
      mapi->RemoveStore(*root);
    }
    attach();

    auto app2 = registry.Create<ao::Application>(ao::kOutlookProgId);
    auto mapi2 = app2->GetNamespace("MAPI");
    auto contacts = Need(mapi2->GetDefaultFolder(ao::olFolderContacts), "default contacts folder");
    contacts->Folders()->Add(ContactsFolderName(now()), ao::olFolderContacts);
    auto destination = Need(mapi2->Folders()->GetLast(), "store folder");

    auto reader = registry.Create<automation::AddressBookReader>(automation::kAddressBookReaderProgId);
    reader->Open(TrimSpaces(request.bookPath));
    const std::int32_t count = reader->GetCount();

    if (request.progress) request.progress->Prepare(count, WholeStep(count), count / 100.0);
    counter = 1;

    std::shared_ptr<ao::ContactItem> item;
    std::array<std::string, kFieldCount> values;
    for (std::int32_t i = 0; i < count; ++i) {
      reader->Select(i);
      for (int f = 0; f < kFieldCount; ++f) values[f] = reader->GetValue(kReadOrder[f]);
      item = Need(contacts->Folders()->GetLast(), "contacts folder")->Items()->Add();
      Need(item, "contact item");
      for (const auto& [property, field] : kItemProperties) item->SetProperty(property, values[field]);
      item->Save();
      ++result.saved;
      if (request.progress) request.progress->SetPosition(static_cast<std::int32_t>(counter));
      ++counter;
    }

    Need(contacts->Folders()->GetLast(), "contacts folder")->MoveTo(*destination);
    // Everything held goes with this scope: both applications and their
    // namespaces, the folders, the last item and the reader.
  } catch (const std::exception& e) {
    result.completed = false;
    result.message = kOutlookFailureText;
    result.title = kOutlookFailureTitle;
    result.cause = e.what();
    return result;
  } catch (...) {
    result.completed = false;
    result.message = kOutlookFailureText;
    result.title = kOutlookFailureTitle;
    result.cause = "an unknown failure";
    return result;
  }

  result.completed = true;
  result.message = std::to_string(result.saved) + " Contacts Successfully Saved to Outlook\r\nFileName: " + pstPath;
  result.title = kCompletedTitle;
  return result;
}

}  // namespace exports

#include "export/OutlookExport.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/automation/AddressBookReader.h"
#include "platform/automation/Outlook.h"
#include "OutlookBook.h"
#include "platform/codepage/CodePage.h"
#include "PathNames.h"
#include "SpreadsheetExport.h"
#include "platform/os/Os.h"

namespace exports {

namespace ao = automation::outlook;
using automation::AutomationError;

namespace {

std::tm LocalTime(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  return os::LocalTime(t);
}

std::string Format(const char* pattern, const std::tm& tm) {
  char buf[64];
  const std::size_t n = std::strftime(buf, sizeof buf, pattern, &tm);
  return std::string(buf, n);
}

// Drops the last n characters of UTF-8 text; a byte that is not part of a
// character counts as one.
void DropLastCharacters(std::string& s, int n) {
  for (; n > 0 && !s.empty(); --n) {
    std::size_t end = s.size() - 1;
    std::size_t k = end;
    while (k > 0 && end - k < 3 && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) --k;
    const unsigned char lead = static_cast<unsigned char>(s[k]);
    const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    s.resize(len == end - k + 1 ? k : end);
  }
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
    "BusinessFax", "HomeAddress", "HomeCountry", "HomePhone", "Fax", "CellPhone", "Comment"};

// The contact item's properties in the order they are set, with their field;
// the department follows them. Made once as strings: the late-bound call
// takes its name as one, for every contact.
const std::array<std::pair<std::string, Field>, 20> kItemProperties{{
    {"FirstName", kName},
    {"MiddleName", kMiddleName},
    {"LastName", kSurname},
    {"CompanyName", kCompanyName},
    {"BusinessTelephoneNumber", kBusinessPhone},
    {"BusinessFaxNumber", kBusinessFax},
    {"HomeTelephoneNumber", kHomePhone},
    {"HomeFaxNumber", kFax},
    // The mobile number is Outlook's mobile, not its pager.
    {"MobileTelephoneNumber", kCellPhone},
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

std::int16_t StoreTypeCode(OutlookFormat format) {
  return format == OutlookFormat::Ansi ? ao::olStoreANSI : ao::olStoreUnicode;
}

bool IsOlderOutlook(const std::string& version) {
  return version.find("9.") != std::string::npos || version.find("10.") != std::string::npos;
}

std::string OutlookOutputPath(const std::string& bookPath, const std::string& folder,
                              std::chrono::system_clock::time_point when) {
  std::string name = ToLowerUtf8(bookPath);
  static constexpr std::string_view kFrom = ".wab", kTo = ".pst";
  for (std::size_t at = name.find(kFrom); at != std::string::npos; at = name.find(kFrom, at + kTo.size()))
    name.replace(at, kFrom.size(), kTo);
  DropLastCharacters(name, 4);
  return WithTrailingSeparator(folder) + GetFileName(name + Format("-%d-%m-%Y-%H-%M-%S.pst", LocalTime(when)));
}

std::string ContactsFolderName(std::chrono::system_clock::time_point when) {
  return kContactsFolderPrefix + Format("%d-%m-%Y %H:%M:%S", LocalTime(when));
}

namespace {

// After a failure: detaches the store this run attached and deletes the file
// it created (the name was free when the run began), so that no empty store
// stays behind in the folder or in the profile.
void Undo(const std::shared_ptr<ao::Namespace>& attachedIn, const std::string& pstPath) {
  if (attachedIn) {
    try {
      if (auto root = attachedIn->Folders()->GetLast()) attachedIn->RemoveStore(*root);
    } catch (...) {
      // The file goes anyway; a profile line left names a missing file.
    }
  }
  os::Remove(pstPath);
}

bool Exists(const std::string& path) { return os::Exists(path); }

// The path itself when free, else the first of "-2", "-3", ... before ".pst"
// that is: two exports in the same second each get a file of their own.
std::string FreePath(const std::string& path) {
  if (!Exists(path)) return path;
  const std::string stem = path.substr(0, path.size() - 4);
  for (int n = 2;; ++n) {
    std::string candidate = stem + "-" + std::to_string(n) + ".pst";
    if (!Exists(candidate)) return candidate;
  }
}

OutlookExportResult Failed(OutlookExportResult result, const std::string& message, const std::string& cause) {
  result.completed = false;
  result.message = message;
  result.title = kFailureTitle;
  result.cause = cause;
  return result;
}

}  // namespace

OutlookExportResult RunOutlookExport(const OutlookExportRequest& request) {
  const Clock now = request.now ? request.now : Clock([] { return std::chrono::system_clock::now(); });
  OutlookExportResult result;
  // Blanks around the path are no part of the book's name.
  result.pstPath = FreePath(OutlookOutputPath(TrimBlanks(request.bookPath), request.outputFolder, now()));
  const std::string& pstPath = result.pstPath;
  const std::string book = TrimBlanks(request.bookPath);

  // Wider than 16 bits: books of 32,767 contacts and more export whole.
  std::int64_t privateCounter = 0;
  std::int64_t& counter = request.progressCounter ? *request.progressCounter : privateCounter;
  OutlookBookOutcome bookOutcome;

  const auto& registry = automation::Registry::Instance();
  // The book is opened and counted before Outlook gets a store, so a book
  // that cannot be read leaves no file and no profile entry behind.
  std::shared_ptr<automation::AddressBookReader> reader;
  std::future<std::unique_ptr<wab::BookContacts>> outlining;
  std::unique_ptr<wab::BookContacts> wholeBook;
  std::int32_t count = 0;
  auto unreadable = [&](const std::exception& e) {
    return Failed(result, "The address book " + book + " could not be read: " + e.what(), e.what());
  };
  try {
    reader = registry.Create<automation::AddressBookReader>(automation::kAddressBookReaderProgId);
    reader->Open(book);
    count = reader->GetCount();
    result.loss.skippedRecords = reader->SkippedRecords();
    // With the real reader, the whole book: every property, groups, folders.
    // Its contacts are decoded one at a time beside the reader's, never held;
    // its folders and groups are read while Outlook gets its store.
    outlining = OpenWholeBookAside(*reader);
  } catch (const std::exception& e) {
    return unreadable(e);
  }

  const bool ansi = request.format == OutlookFormat::Ansi;
  std::optional<LostCharacters> lost;
  if (ansi) {
    result.loss.codePage = codepage::SystemAnsiCodePage();
    lost.emplace(result.loss.codePage);
  }

  // What this run made, to undo on failure.
  std::shared_ptr<ao::Namespace> attachedIn;
  try {
    auto app = registry.Create<ao::Application>(ao::kOutlookProgId);
    auto mapi = app->GetNamespace("MAPI");

    auto attach = [&] {
      if (IsOlderOutlook(app->version()))
        mapi->AddStore(pstPath);
      else
        mapi->AddStoreEx(pstPath, StoreTypeCode(request.format));
      attachedIn = mapi;
    };

    attach();
    {
      // Renamed, then detached and attached again so Outlook shows the new name.
      auto root = Need(mapi->Folders()->GetLast(), "store folder");
      root->SetName(kOutlookStoreName);
      mapi->RemoveStore(*root);
      attachedIn.reset();
    }
    attach();

    auto app2 = registry.Create<ao::Application>(ao::kOutlookProgId);
    auto mapi2 = app2->GetNamespace("MAPI");
    auto contacts = Need(mapi2->GetDefaultFolder(ao::olFolderContacts), "default contacts folder");
    contacts->Folders()->Add(ContactsFolderName(now()), ao::olFolderContacts);
    auto destination = Need(mapi2->Folders()->GetLast(), "store folder");

    // A book whose folders and groups cannot be read fails as one that
    // cannot be opened, and the store goes again.
    try {
      wholeBook = outlining.get();
    } catch (const std::exception& e) {
      Undo(attachedIn, pstPath);
      return unreadable(e);
    }
    std::optional<OutlookFolderPlan> folders;
    SavedMembers members;
    std::unordered_set<std::uint32_t> memberIds;
    if (wholeBook) {
      folders.emplace(wholeBook->Outline(), Need(contacts->Folders()->GetLast(), "contacts folder"));
      for (const wab::Group& g : wholeBook->Outline().groups)
        for (const wab::Member& m : g.members)
          if (m.kind == wab::Member::Kind::Record) memberIds.insert(m.id);
    }
    // Each text that goes into an ANSI file is checked for characters its
    // code page cannot hold.
    const TextCheck checkText = [&](const std::string& v) {
      if (lost) lost->Check(v, result.loss);
    };

    if (request.progress) request.progress->Prepare(0, count, HundredthRoundedHalfEven(count), count / 100.0);
    counter = 1;

    std::shared_ptr<ao::ContactItem> item;
    std::array<std::string, kFieldCount> values;
    // With the whole book, a second thread reads the contacts a batch ahead:
    // the reader's fields and the whole contact.
    std::optional<wab::ContactReadAhead> ahead;
    if (wholeBook)
      ahead.emplace(static_cast<std::size_t>(count),
                    ThroughReader(*reader, *wholeBook, std::vector<std::string>(kReadOrder.begin(), kReadOrder.end())));
    for (std::int32_t i = 0; i < count; ++i) {
      const wab::Contact* whole = nullptr;
      std::shared_ptr<ao::Folder> folder;
      if (ahead) {
        whole = ahead->Next();
        ReaderTexts(*reader, *ahead, values.data());
        folder = whole ? folders->For(whole->folder) : Need(contacts->Folders()->GetLast(), "contacts folder");
      } else {
        reader->Select(i);
        for (int f = 0; f < kFieldCount; ++f) values[f] = reader->GetValue(kReadOrder[f]);
        folder = Need(contacts->Folders()->GetLast(), "contacts folder");
      }
      item = folder->Items()->Add();
      Need(item, "contact item");
      for (const auto& [property, field] : kItemProperties) {
        item->SetProperty(property, values[field]);
        checkText(values[field]);
      }
      if (whole) {
        SetWholeContact(*item, *whole, wholeBook->Outline(), bookOutcome, checkText);
      } else {
        item->SetProperty("Department", values[kDepartment]);
        checkText(values[kDepartment]);
      }
      item->Save();
      if (whole && memberIds.count(whole->id)) members[whole->id] = AsListMember(item, *whole);
      ++result.saved;
      if (request.progress) request.progress->SetPosition(static_cast<std::int32_t>(counter));
      ++counter;
    }

    ahead.reset();
    if (wholeBook) ExportGroups(wholeBook->Outline(), *folders, members, bookOutcome, checkText);
    // The book is done with: let it go, and the pages of it still mapped,
    // before the store is written.
    wholeBook.reset();
    reader.reset();
    Need(contacts->Folders()->GetLast(), "contacts folder")->MoveTo(*destination);
    // Everything held goes with this scope: both applications and their
    // namespaces, the folders, the last item and the reader.
  } catch (const std::exception& e) {
    Undo(attachedIn, pstPath);
    return Failed(result, std::string(kOutlookExportFailed) + "\r\n" + e.what(), e.what());
  } catch (...) {
    Undo(attachedIn, pstPath);
    return Failed(result, kOutlookExportFailed, "an unknown failure");
  }

  result.completed = true;
  result.message = std::to_string(result.saved) + " Contacts Successfully Saved to Outlook\r\nFileName: " + pstPath;
  result.message += OutlookBookSavedLine(bookOutcome);
  // The groups' losses join the others: in the message and, from the
  // command line, on standard error.
  CountLosses(bookOutcome, result.loss);
  result.loss.AppendTo(result.message);
  result.title = kCompletionTitle;
  return result;
}

namespace {
OutlookExportFunction& Installed() {
  static OutlookExportFunction function;
  return function;
}
}  // namespace

void SetOutlookExport(OutlookExportFunction function) { Installed() = std::move(function); }

ExportResult ExportToOutlook(const std::string& bookPath, const std::string& folder, OutlookFormat format,
                             ExportProgress* progress) {
  if (Installed()) return Installed()(bookPath, folder, format, progress);
  OutlookExportRequest request;
  request.bookPath = bookPath;
  request.outputFolder = folder;
  request.format = format;
  request.progress = progress;
  const OutlookExportResult outcome = RunOutlookExport(request);
  ExportResult result;
  result.completed = outcome.completed;
  result.contacts = outcome.saved;
  result.outputPath = outcome.pstPath;
  result.message = outcome.message;
  result.loss = outcome.loss;
  return result;
}

}  // namespace exports

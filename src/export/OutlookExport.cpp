#include "export/OutlookExport.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
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
#include "BookCodePage.h"
#include "OutlookBook.h"
#include "platform/codepage/CodePage.h"
#include "PathNames.h"
#include "SpreadsheetExport.h"
#include "platform/os/HalfEven.h"
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

template <class T>
std::shared_ptr<T> Need(std::shared_ptr<T> p, const char* what) {
  if (!p) throw AutomationError(std::string("Outlook returned no ") + what + ".");
  return p;
}

using automation::ReaderField;

// The reader's fields in the order they are read for each contact.
constexpr std::array<ReaderField, automation::kReaderFieldCount> kReadOrder = [] {
  using enum ReaderField;
  return std::array{Name,          MiddleName,     Surname,     HomeEmail,   CompanyName, BusinessAddress,
                    City,          Postal,         Province,    Country,     OfficeLocation, CompanyURL,
                    Department,    BusinessPhone,  BusinessFax, HomeAddress, HomeCountry, HomePhone,
                    Fax,           CellPhone,      Comment};
}();
static_assert(automation::IsOrderOfAllFields(kReadOrder), "every reader field is read once");

// The contact item's properties in the order they are set, with their field;
// the department follows them. Made once as strings: the late-bound call
// takes its name as one, for every contact.
const std::array<std::pair<std::string, ReaderField>, 20> kItemProperties{{
    {"FirstName", ReaderField::Name},
    {"MiddleName", ReaderField::MiddleName},
    {"LastName", ReaderField::Surname},
    {"CompanyName", ReaderField::CompanyName},
    {"BusinessTelephoneNumber", ReaderField::BusinessPhone},
    {"BusinessFaxNumber", ReaderField::BusinessFax},
    {"HomeTelephoneNumber", ReaderField::HomePhone},
    {"HomeFaxNumber", ReaderField::Fax},
    // The mobile number is Outlook's mobile, not its pager.
    {"MobileTelephoneNumber", ReaderField::CellPhone},
    {"BusinessAddressStreet", ReaderField::BusinessAddress},
    {"BusinessAddressCity", ReaderField::City},
    {"BusinessAddressState", ReaderField::Province},
    {"BusinessAddressPostalCode", ReaderField::Postal},
    {"BusinessAddressCountry", ReaderField::Country},
    {"HomeAddressStreet", ReaderField::HomeAddress},
    {"HomeAddressCountry", ReaderField::HomeCountry},
    {"Email1Address", ReaderField::HomeEmail},
    {"WebPage", ReaderField::CompanyURL},
    {"OfficeLocation", ReaderField::OfficeLocation},
    {"body", ReaderField::Comment},
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
  // Any other extension goes too: the date and ".pst" take its place.
  std::string stem = OutputStem(bookPath);
  if (const auto dot = stem.rfind('.'); !HasBookExtension(bookPath) && dot != std::string::npos && dot > 0)
    stem.erase(dot);
  return WithTrailingSeparator(folder) + stem + Format("-%d-%m-%Y-%H-%M-%S.pst", LocalTime(when));
}

std::string ContactsFolderName(std::chrono::system_clock::time_point when) {
  return kContactsFolderPrefix + Format("%d-%m-%Y %H:%M:%S", LocalTime(when));
}

namespace {

// After a failure: detaches the store this run attached and deletes the file
// it made (a name of its own), so that no store stays behind in the folder
// or in the profile.
void Undo(const std::shared_ptr<ao::Namespace>& attachedIn, const std::string& path) {
  if (attachedIn) {
    try {
      if (auto root = attachedIn->Folders()->GetLast()) attachedIn->RemoveStore(*root);
    } catch (...) {
      // The file goes anyway; a line left names a missing file, which the
      // profile drops.
    }
  }
  if (!path.empty()) os::Remove(path);
}

constexpr const char* kTempPrefix = ".addrivo-";
constexpr const char* kTempSuffix = ".tmp";

// Where the store is written until it is complete: a hidden name of this
// process, of the pattern all unfinished exports use, so that the next
// export into the folder removes what a killed run left.
std::string StagingPath(const std::string& finalPath) {
  static std::atomic<unsigned> counter{0};
  const auto sep = finalPath.find_last_of(os::kSeparators);
  const std::string folder = sep == std::string::npos ? std::string() : finalPath.substr(0, sep + 1);
  return folder + kTempPrefix + std::to_string(os::ProcessId()) + "-pst" + std::to_string(counter.fetch_add(1)) +
         kTempSuffix;
}

// The finished store takes the first of the path, "-2", "-3", ... before
// ".pst" that is free at that moment; the rename never replaces, so two
// runs that chose the same name each keep a file of their own.
int GiveFinalName(const std::string& staged, const std::string& path, std::string& taken) {
  const std::string stem = path.substr(0, path.size() - 4);
  for (int n = 1; n < 10000; ++n) {
    std::string candidate = n == 1 ? path : stem + "-" + std::to_string(n) + ".pst";
    const int err = os::RenameNoReplace(staged, candidate);
    if (err == 0) {
      taken = std::move(candidate);
      return 0;
    }
    if (err != EEXIST) return err;
  }
  return EEXIST;
}

struct Stopped : std::runtime_error {
  Stopped() : std::runtime_error("The export was stopped; nothing was saved.") {}
};

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
  // Blanks around the path are no part of the output's name; the book is
  // the file named.
  const std::string finalPath = OutlookOutputPath(TrimBlanks(request.bookPath), request.outputFolder, now());
  const std::string pstPath = StagingPath(finalPath);
  result.pstPath = finalPath;
  const std::string& book = request.bookPath;
  const auto checkStop = [&] {
    if (request.stop && request.stop->load()) throw Stopped();
  };

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
    const BookCodePage page = ChooseBookCodePage(book, request.codePage);
    result.loss.bookCodePage = page.line;
    reader = CreateBookReader(page.codePage);
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

  // What this run made, to undo on failure: the store attached, and the
  // file under the temporary name, then under the final one.
  std::shared_ptr<ao::Namespace> attachedIn;
  std::string made = pstPath;
  {
    const auto sep = finalPath.find_last_of(os::kSeparators);
    os::RemoveStaleTemporaries(sep == std::string::npos ? std::string() : finalPath.substr(0, sep + 1), kTempPrefix,
                               kTempSuffix);
  }
  try {
    checkStop();
    auto app = registry.Create<ao::Application>(ao::kOutlookProgId);
    auto mapi = app->GetNamespace("MAPI");

    auto attach = [&](const std::string& path) {
      if (IsOlderOutlook(app->version()))
        mapi->AddStore(path);
      else
        mapi->AddStoreEx(path, StoreTypeCode(request.format));
      attachedIn = mapi;
    };

    attach(pstPath);
    {
      // Renamed, then detached and attached again so Outlook shows the new name.
      auto root = Need(mapi->Folders()->GetLast(), "store folder");
      root->SetName(kOutlookStoreName);
      mapi->RemoveStore(*root);
      attachedIn.reset();
    }
    attach(pstPath);

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
      Undo(attachedIn, made);
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

    if (request.progress) request.progress->Prepare(0, count, os::HundredthRoundedHalfEven(count), count / 100.0);
    counter = 1;

    std::shared_ptr<ao::ContactItem> item;
    // values: by automation::FieldIndex; read: as they are read, in kReadOrder.
    std::array<std::string, automation::kReaderFieldCount> values;
    std::array<std::string, kReadOrder.size()> read;
    std::vector<std::string> keys;
    for (ReaderField f : kReadOrder) keys.emplace_back(automation::Key(f));
    const auto value = [&](ReaderField f) -> const std::string& { return values[automation::FieldIndex(f)]; };
    // With the whole book, a second thread reads the contacts a batch ahead:
    // the reader's fields and the whole contact.
    std::optional<wab::ContactReadAhead> ahead;
    if (wholeBook) ahead.emplace(static_cast<std::size_t>(count), ThroughReader(*reader, *wholeBook, keys));
    for (std::int32_t i = 0; i < count; ++i) {
      checkStop();
      const wab::Contact* whole = nullptr;
      std::shared_ptr<ao::Folder> folder;
      if (ahead) {
        whole = ahead->Next();
        ReaderTexts(*reader, *ahead, read.data());
        folder = whole ? folders->For(whole->folder) : Need(contacts->Folders()->GetLast(), "contacts folder");
      } else {
        reader->Select(i);
        for (std::size_t r = 0; r < kReadOrder.size(); ++r) read[r] = reader->GetValue(keys[r]);
        folder = Need(contacts->Folders()->GetLast(), "contacts folder");
      }
      // Swapped, not copied: each keeps its room from contact to contact.
      for (std::size_t r = 0; r < kReadOrder.size(); ++r) values[automation::FieldIndex(kReadOrder[r])].swap(read[r]);
      item = folder->Items()->Add();
      Need(item, "contact item");
      for (const auto& [property, field] : kItemProperties) {
        item->SetProperty(property, value(field));
        checkText(value(field));
      }
      if (whole) {
        SetWholeContact(*item, *whole, wholeBook->Outline(), bookOutcome, checkText);
      } else {
        item->SetProperty("Department", value(ReaderField::Department));
        checkText(value(ReaderField::Department));
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
    checkStop();
    Need(contacts->Folders()->GetLast(), "contacts folder")->MoveTo(*destination);
    checkStop();
    // Complete: detached under the temporary name, given its final name,
    // and attached again under that name.
    mapi2->RemoveStore(*destination);
    attachedIn.reset();
    std::string taken;
    if (const int err = GiveFinalName(pstPath, finalPath, taken))
      throw std::runtime_error("Cannot give the personal folders file its name " + finalPath + ": " +
                               std::strerror(err));
    made = taken;
    result.pstPath = taken;
    attach(taken);
    // Everything held goes with this scope: both applications and their
    // namespaces, the folders, the last item and the reader.
  } catch (const Stopped& e) {
    Undo(attachedIn, made);
    result = Failed(result, e.what(), e.what());
    result.stopped = true;
    return result;
  } catch (const std::exception& e) {
    Undo(attachedIn, made);
    return Failed(result, std::string(kOutlookExportFailed) + "\r\n" + e.what(), e.what());
  } catch (...) {
    Undo(attachedIn, made);
    return Failed(result, kOutlookExportFailed, "an unknown failure");
  }

  result.completed = true;
  result.message =
      std::to_string(result.saved) + " Contacts Successfully Saved to Outlook\r\nFileName: " + result.pstPath;
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
                             ExportProgress* progress, int codePage) {
  if (Installed()) return Installed()(bookPath, folder, format, progress);
  OutlookExportRequest request;
  request.bookPath = bookPath;
  request.codePage = codePage;
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

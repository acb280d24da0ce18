// The Outlook stand-in's own behaviour, over an in-memory engine whose
// files are readable dumps (FakePstStore.cpp).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <regex>

#include "platform/automation/Automation.h"
#include "platform/outlook/OutlookStandIn.h"
#include "platform/outlook/Profile.h"
#include "support/TestData.h"

namespace {

namespace ao = automation::outlook;
using automation::AutomationError;
using testsupport::ReadFile;
using testsupport::TempDir;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    setenv("LC_ALL", "C", 1);
  }
  void TearDown() override { unsetenv("LC_ALL"); }

  std::shared_ptr<ao::Namespace> Mapi() { return outlook::NewApplication()->GetNamespace("MAPI"); }

  TempDir config, out;
};

TEST_F(StandInTest, ApplicationsShareOneProfileAndItIsSavedOnEveryChange) {
  auto app1 = outlook::NewApplication();
  auto app2 = outlook::NewApplication();
  EXPECT_EQ(app1->version(), "16.0.0.0");
  auto ns1 = app1->GetNamespace("MAPI");
  auto ns2 = app2->GetNamespace("mapi");
  const auto pst = out / "a.pst";

  ns1->AddStore(pst.string());
  auto root = ns2->Folders()->GetLast();
  EXPECT_EQ(root->Name(), "Personal Folders");
  root->SetName("Windows Address Book Contacts");
  EXPECT_EQ(ns1->Folders()->GetLast()->Name(), "Windows Address Book Contacts");

  auto saved = outlook::ReadProfile();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].path, pst);
  EXPECT_EQ(saved[0].displayName, "Windows Address Book Contacts");
  EXPECT_EQ(outlook::ProfilePath(), config.path() / "addrivo" / "outlook-profile");

  ns1->RemoveStore(*root);
  EXPECT_TRUE(outlook::ReadProfile().empty());
  // Only the default store is left.
  EXPECT_EQ(ns2->Folders()->GetLast()->Name(), "Personal Folders");
}

TEST_F(StandInTest, StoreTypeCodesChooseTheFormatOfANewFile) {
  setenv("LC_ALL", "ru_RU.UTF-8", 1);
  auto ns = Mapi();
  ns->AddStore((out / "plain.pst").string());
  ns->AddStoreEx((out / "default.pst").string(), ao::olStoreDefault);
  ns->AddStoreEx((out / "unicode.pst").string(), ao::olStoreUnicode);
  ns->AddStoreEx((out / "ansi.pst").string(), ao::olStoreANSI);
  EXPECT_THROW(ns->AddStoreEx((out / "odd.pst").string(), 4), AutomationError);
  EXPECT_FALSE(std::filesystem::exists(out / "odd.pst"));

  // Every store is written as soon as it is attached.
  EXPECT_TRUE(Contains(ReadFile(out / "plain.pst"), "format=unicode\n"));
  EXPECT_TRUE(Contains(ReadFile(out / "default.pst"), "format=unicode\n"));
  EXPECT_TRUE(Contains(ReadFile(out / "unicode.pst"), "format=unicode\n"));
  const std::string ansi = ReadFile(out / "ansi.pst");
  EXPECT_TRUE(Contains(ansi, "format=ansi\n"));
  EXPECT_TRUE(Contains(ansi, "codepage=1251\n"));

  auto saved = outlook::ReadProfile();
  ASSERT_EQ(saved.size(), 4u);
  EXPECT_EQ(saved[3].format, outlook::StoreFormat::Ansi);
  EXPECT_EQ(saved[0].format, outlook::StoreFormat::Unicode);
}

TEST_F(StandInTest, OnlyFilesWrittenInThisSessionCanBeAttached) {
  auto ns = Mapi();
  const auto foreign = out / "foreign.pst";
  testsupport::WriteFile(foreign, "!BDN not ours");
  try {
    ns->AddStore(foreign.string());
    FAIL() << "a file of another program was attached";
  } catch (const AutomationError& e) {
    EXPECT_TRUE(Contains(e.what(), foreign.string()));
  }
  EXPECT_THROW(ns->AddStoreEx(out.path().string(), ao::olStoreUnicode), AutomationError);  // a folder
  EXPECT_EQ(ReadFile(foreign), "!BDN not ours");
  EXPECT_TRUE(outlook::ReadProfile().empty());

  // A store of ours comes back after RemoveStore, under the name it was given,
  // and attaching it twice attaches it once.
  const auto own = out / "own.pst";
  ns->AddStoreEx(own.string(), ao::olStoreANSI);
  auto root = ns->Folders()->GetLast();
  root->SetName("Windows Address Book Contacts");
  ns->RemoveStore(*root);
  EXPECT_TRUE(Contains(ReadFile(own), "name=Windows Address Book Contacts\n"));
  ns->AddStoreEx(own.string(), ao::olStoreUnicode);
  ns->AddStore(own.string());
  auto saved = outlook::ReadProfile();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].displayName, "Windows Address Book Contacts");
  EXPECT_EQ(saved[0].format, outlook::StoreFormat::Ansi);
}

TEST_F(StandInTest, ContactsSavedInTheDefaultFolderMoveIntoTheStoreAndAreWritten) {
  auto app = outlook::NewApplication();
  auto ns = app->GetNamespace("MAPI");
  const auto pst = out / "book.pst";
  ns->AddStoreEx(pst.string(), ao::olStoreUnicode);
  auto destination = ns->Folders()->GetLast();
  destination->SetName("Windows Address Book Contacts");

  auto contacts = ns->GetDefaultFolder(ao::olFolderContacts);
  EXPECT_EQ(contacts->Name(), "Contacts");
  contacts->Folders()->Add("WAB Contacts 06-12-2026 03:29:10", ao::olFolderContacts);
  EXPECT_THROW(contacts->Folders()->Add("wab contacts 06-12-2026 03:29:10", ao::olFolderContacts), AutomationError);

  const char* names[] = {"FirstName", "MiddleName", "LastName", "CompanyName", "BusinessTelephoneNumber",
                         "BusinessFaxNumber", "HomeTelephoneNumber", "HomeFaxNumber", "PagerNumber",
                         "BusinessAddressStreet", "BusinessAddressCity", "BusinessAddressState",
                         "BusinessAddressPostalCode", "BusinessAddressCountry", "HomeAddressStreet",
                         "HomeAddressCountry", "Email1Address", "WebPage", "OfficeLocation", "body"};
  auto item = contacts->Folders()->GetLast()->Items()->Add();
  std::string expected = "contact=/Top of Personal Folders/WAB Contacts 06-12-2026 03:29:10";
  for (int i = 0; i < 20; ++i) {
    const std::string value = "v" + std::to_string(i) + (i == 19 ? "\xc3\xa9t\xc3\xa9" : "");
    item->SetProperty(names[i], value);
    expected += "|" + value;
  }
  EXPECT_THROW(item->SetProperty("AssistantName", "1"), AutomationError);
  item->Save();
  contacts->Folders()->GetLast()->Items()->Add()->Save();  // a contact with nothing set

  // Nothing reaches the file until the folder moves.
  EXPECT_FALSE(Contains(ReadFile(pst), "WAB Contacts"));
  auto folder = contacts->Folders()->GetLast();
  folder->MoveTo(*destination);
  EXPECT_EQ(contacts->Folders()->GetLast(), nullptr);
  EXPECT_EQ(folder->Name(), "WAB Contacts 06-12-2026 03:29:10");

  const std::string file = ReadFile(pst);
  EXPECT_TRUE(Contains(file, "name=Windows Address Book Contacts\n"));
  EXPECT_TRUE(Contains(file, "folder=/Top of Personal Folders/WAB Contacts 06-12-2026 03:29:10|IPF.Contact|2\n"));
  EXPECT_TRUE(Contains(file, expected + "\n"));
  EXPECT_TRUE(Contains(file, "contact=/Top of Personal Folders/WAB Contacts 06-12-2026 03:29:10" +
                                 std::string(20, '|') + "\n"));
  EXPECT_EQ(destination->Folders()->GetLast()->Name(), "WAB Contacts 06-12-2026 03:29:10");
}

TEST_F(StandInTest, PropertiesBeyondTheTwentyTakeTheirOwnKindOfValue) {
  auto ns = Mapi();
  ns->AddStoreEx((out / "p.pst").string(), ao::olStoreUnicode);
  auto folder = ns->Folders()->GetLast()->Folders()->Add("C", ao::olFolderContacts);
  struct Row {
    const char* name;
    const char* value;
    bool accepted;
  };
  const Row rows[] = {
      {"MobileTelephoneNumber", "+1 555", true}, {"department", "Sales", true},
      {"Email3AddressType", "X400", true},       {"Children", "Ann, Bob,,", true},
      {"Categories", "", true},                   {"Gender", "2", true},
      {"Gender", "male", false},                  {"Gender", "3", false},
      {"Birthday", "1970-01-31", true},           {"Birthday", "", true},
      {"Birthday", "31/01/1970", false},          {"Anniversary", "2001-02-30x", false},
      {"Anniversary", "1600-01-01", false},       {"AssistantName", "x", false},
  };
  for (const Row& r : rows) {
    auto item = folder->Items()->Add();
    if (r.accepted) {
      EXPECT_NO_THROW(item->SetProperty(r.name, r.value)) << r.name << "=" << r.value;
      EXPECT_NO_THROW(item->Save());
    } else {
      EXPECT_THROW(item->SetProperty(r.name, r.value), AutomationError) << r.name << "=" << r.value;
    }
  }
  auto saved = folder->Items()->Add();
  saved->Save();
  EXPECT_THROW(saved->SetProperty("Children", "Late"), AutomationError);
}

// Every text field is reached by its name in any case, and an item made
// after others were saved and let go starts with nothing set.
TEST_F(StandInTest, EveryFieldInAnySpellingAndEachNewItemEmpty) {
  auto ns = Mapi();
  const auto pst = out / "f.pst";
  ns->AddStoreEx(pst.string(), ao::olStoreUnicode);
  auto root = ns->Folders()->GetLast();
  auto folder = root->Folders()->Add("C", ao::olFolderContacts);
  // In the order the store's text shows them: the "contact=" line, then "more=".
  const std::vector<std::string> fields = {
      "FirstName", "MiddleName", "LastName", "CompanyName", "BusinessTelephoneNumber", "BusinessFaxNumber",
      "HomeTelephoneNumber", "HomeFaxNumber", "PagerNumber", "BusinessAddressStreet", "BusinessAddressCity",
      "BusinessAddressState", "BusinessAddressPostalCode", "BusinessAddressCountry", "HomeAddressStreet",
      "HomeAddressCountry", "Email1Address", "WebPage", "OfficeLocation", "Body", "MobileTelephoneNumber",
      "Department", "JobTitle", "Title", "Suffix", "NickName", "Email1AddressType", "Email2Address",
      "Email2AddressType", "Email3Address", "Email3AddressType", "HomeAddressCity", "HomeAddressState",
      "HomeAddressPostalCode", "OtherTelephoneNumber", "PersonalHomePage", "IMAddress", "Spouse",
      "YomiFirstName", "YomiLastName"};
  struct Spelling {
    const char* tag;
    int (*fold)(int);  // nullptr: as documented
  };
  const Spelling spellings[] = {{"exact", nullptr}, {"upper", ::toupper}, {"lower", ::tolower}};
  std::string expected;
  for (const Spelling& s : spellings) {
    auto spell = [&](std::string n) {
      if (s.fold)
        for (char& c : n) c = static_cast<char>(s.fold(static_cast<unsigned char>(c)));
      return n;
    };
    auto item = folder->Items()->Add();
    std::string line = "contact=/Top of Personal Folders/C", more = "more=/Top of Personal Folders/C";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string value = std::string(s.tag) + std::to_string(i) + " with a text longer than a short one";
      item->SetProperty(spell(fields[i]), value);
      (i < 20 ? line : more) += "|" + value;
    }
    item->SetProperty(spell("Children"), "Ann, Bob");
    item->SetProperty(spell("Gender"), "2");
    item->SetProperty(spell("Birthday"), "1970-01-31");
    item->Save();
    expected += line + "\n" + more + "|Ann;Bob;||2|1970|0\n";
  }
  folder->Items()->Add()->Save();
  expected += "contact=/Top of Personal Folders/C" + std::string(20, '|') + "\n";
  expected += "more=/Top of Personal Folders/C" + std::string(22, '|') + "|0|0|0\n";
  folder->MoveTo(*root);
  EXPECT_TRUE(Contains(ReadFile(pst), expected)) << ReadFile(pst);
}

TEST_F(StandInTest, ListsTakeSavedContactsOfTheirStoreAndOneOffAddresses) {
  auto ns = Mapi();
  const auto pst = out / "l.pst";
  ns->AddStoreEx(pst.string(), ao::olStoreUnicode);
  auto root = ns->Folders()->GetLast();
  auto folder = root->Folders()->Add("C", ao::olFolderContacts);
  auto contact = folder->Items()->Add();
  contact->SetProperty("FirstName", "Ann");
  auto list = folder->Items()->AddDistList();
  EXPECT_THROW(list->AddMember(*contact), AutomationError);  // not saved yet
  contact->Save();
  auto elsewhere = ns->GetDefaultFolder(ao::olFolderContacts)->Items()->Add();
  elsewhere->Save();
  EXPECT_THROW(list->AddMember(*elsewhere), AutomationError);  // another store
  EXPECT_THROW(list->AddOneOffMember("Nobody", "", "SMTP"), AutomationError);
  EXPECT_THROW(list->SetProperty("Members", "x"), AutomationError);
  list->SetProperty("DLName", "Team");
  list->SetProperty("Body", "notes");
  list->AddMember(*contact);
  list->AddOneOffMember("Out", "out@example.org", "SMTP");
  list->Save();
  EXPECT_THROW(list->AddOneOffMember("Late", "late@example.org", ""), AutomationError);
  ns->RemoveStore(*root);
  const std::string file = ReadFile(pst);
  EXPECT_TRUE(std::regex_search(file, std::regex("distlist=/Top of Personal Folders/C\\|Team\\|notes\\|#[0-9]+\\|Out <out@example.org>\n")))
      << file;
}

TEST_F(StandInTest, MisusesAreAutomationErrorsThatNameTheCause) {
  auto app = outlook::NewApplication();
  EXPECT_THROW(app->GetNamespace("POP"), AutomationError);
  auto ns = app->GetNamespace("MAPI");
  EXPECT_THROW(ns->GetDefaultFolder(6), AutomationError);
  EXPECT_THROW(ns->Folders()->Add("x", 10), AutomationError);
  EXPECT_THROW(ns->AddStore(""), AutomationError);
  // The default store stays.
  auto defaultRoot = ns->Folders()->GetLast();
  EXPECT_THROW(ns->RemoveStore(*defaultRoot), AutomationError);

  auto contacts = ns->GetDefaultFolder(ao::olFolderContacts);
  EXPECT_THROW(contacts->Folders()->Add("x", 99), AutomationError);
  EXPECT_THROW(contacts->SetName("Renamed"), AutomationError);
  EXPECT_THROW(ns->RemoveStore(*contacts), AutomationError);
  auto sub = contacts->Folders()->Add("sub", ao::olFolderContacts);
  EXPECT_THROW(contacts->MoveTo(*sub), AutomationError);  // into its own subfolder
  EXPECT_THROW(sub->MoveTo(*sub), AutomationError);
  EXPECT_THROW(defaultRoot->MoveTo(*sub), AutomationError);
  EXPECT_THROW(defaultRoot->Items(), AutomationError);

  const auto missing = out / "no-such-folder" / "x.pst";
  try {
    ns->AddStore(missing.string());
    FAIL() << "a store in a missing folder was attached";
  } catch (const AutomationError& e) {
    EXPECT_TRUE(Contains(e.what(), missing.string())) << e.what();
  }
  EXPECT_TRUE(outlook::ReadProfile().empty());
  EXPECT_EQ(ns->Folders()->GetLast()->Name(), "Personal Folders");
}

TEST_F(StandInTest, FailureToWriteOnRemoveKeepsTheStoreAttached) {
  auto ns = Mapi();
  const auto dir = out / "sub";
  std::filesystem::create_directory(dir);
  ns->AddStore((dir / "a.pst").string());
  auto root = ns->Folders()->GetLast();
  std::filesystem::remove_all(dir);
  EXPECT_THROW(ns->RemoveStore(*root), AutomationError);
  EXPECT_EQ(outlook::ReadProfile().size(), 1u);
}

TEST_F(StandInTest, ALaterSessionListsEarlierStoresButCannotOpenThem) {
  const auto pst = out / "kept.pst";
  {
    auto ns = Mapi();
    ns->AddStore(pst.string());
    auto root = ns->Folders()->GetLast();
    root->SetName("Windows Address Book Contacts");
    // Saved straight into the store, never moved: written when Outlook goes.
    auto folder = root->Folders()->Add("direct", ao::olFolderContacts);
    auto item = folder->Items()->Add();
    item->SetProperty("FirstName", "Ann");
    item->Save();
  }
  EXPECT_TRUE(Contains(ReadFile(pst), "contact=/Top of Personal Folders/direct|Ann|"));

  auto ns = Mapi();  // a fresh profile, read from disk
  auto root = ns->Folders()->GetLast();
  EXPECT_EQ(root->Name(), "Windows Address Book Contacts");
  EXPECT_THROW(root->Folders(), AutomationError);
  EXPECT_THROW(root->SetName("x"), AutomationError);
  ns->RemoveStore(*root);
  EXPECT_TRUE(outlook::ReadProfile().empty());
  // Written by an Outlook that has gone: this one cannot read it back.
  EXPECT_THROW(ns->AddStore((out / "other" / "..").string() + "/kept.pst"), AutomationError);
  EXPECT_TRUE(Contains(ReadFile(pst), "contact=/Top of Personal Folders/direct|Ann|"));
}

TEST_F(StandInTest, ChangesOfAnotherProcessToTheProfileAreKept) {
  auto ns = Mapi();
  ns->AddStore((out / "mine.pst").string());
  // Another process (the window while the command-line tool runs) attaches a store.
  auto other = outlook::ReadProfile();
  other.push_back({"/elsewhere/theirs.pst", "Theirs", outlook::StoreFormat::Ansi});
  outlook::detail::SaveProfileFile(outlook::ProfilePath(), other);

  ns->AddStore((out / "second.pst").string());
  ns->Folders()->GetLast()->SetName("Renamed");
  auto saved = outlook::ReadProfile();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[1].displayName, "Theirs");
  EXPECT_EQ(saved[2].path, out / "second.pst");
  EXPECT_EQ(saved[2].displayName, "Renamed");
  ns->RemoveStore(*ns->Folders()->GetLast());
  saved = outlook::ReadProfile();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].path, out / "mine.pst");
  EXPECT_EQ(saved[1].path, "/elsewhere/theirs.pst");
}

TEST_F(StandInTest, ProfileFileKeepsOddNamesAndSkipsLinesItCannotRead) {
  const auto file = config / "profile";
  std::vector<outlook::AttachedStore> stores{
      {"/x/tab\there.pst", "name\twith\\odd\nchars", outlook::StoreFormat::Ansi},
      {"/y/b.pst", "", outlook::StoreFormat::Unicode}};
  outlook::detail::SaveProfileFile(file, stores);
  auto back = outlook::detail::LoadProfileFile(file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].path, stores[0].path);
  EXPECT_EQ(back[0].displayName, stores[0].displayName);
  EXPECT_EQ(back[0].format, outlook::StoreFormat::Ansi);
  EXPECT_EQ(back[1].displayName, "");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp-" + std::to_string(getpid())));

  testsupport::WriteFile(file, "# comment\nbogus\tA\t/p.pst\nunicode\tA\nansi\tB\t/q\\z.pst\n"
                               "unicode\tC\t\nunicode\tGood\t/ok.pst\n");
  back = outlook::detail::LoadProfileFile(file);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].displayName, "Good");
  EXPECT_TRUE(outlook::detail::LoadProfileFile(config / "missing").empty());
}

// The profile as a careless user or a hostile neighbour meets it: each row
// is a way an earlier profile lost lines, wrote where it should not, or left
// a store listed that nobody could use.
struct ProfileCase {
  const char* name;
  std::function<void(const std::filesystem::path& config, const std::filesystem::path& out)> check;
};
void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.name; }

const ProfileCase kProfileCases[] = {
    {"LinesItDoesNotKnowAreKeptVerbatim",
     [](const std::filesystem::path&, const std::filesystem::path& out) {
       const auto file = outlook::ProfilePath();
       std::filesystem::create_directories(file.parent_path());
       const std::string foreign = "# my note\nfuture\tkind\t/x.pst\tmore\n\nunicode\tbad\\q\t/y.pst\n";
       testsupport::WriteFile(file, foreign);
       auto ns = outlook::NewApplication()->GetNamespace("MAPI");
       ns->AddStore((out / "a.pst").string());
       ns->RemoveStore(*ns->Folders()->GetLast());
       const std::string after = ReadFile(file);
       for (const char* line : {"# my note\n", "future\tkind\t/x.pst\tmore\n", "unicode\tbad\\q\t/y.pst\n"})
         EXPECT_TRUE(Contains(after, line)) << line << " in\n" << after;
       EXPECT_FALSE(Contains(after, "a.pst"));
     }},
    {"NoHomeIsAClearFailureNotASharedFolder",
     [](const std::filesystem::path&, const std::filesystem::path& out) {
       unsetenv("XDG_CONFIG_HOME");
       unsetenv("HOME");
       // getpwuid still knows root's home in a container; a relative one is refused too.
       setenv("HOME", "relative/home", 1);
       EXPECT_THROW(outlook::ProfilePath(), AutomationError);
       try {
         outlook::NewApplication()->GetNamespace("MAPI")->AddStore((out / "b.pst").string());
         ADD_FAILURE() << "attached without a profile";
       } catch (const AutomationError& e) {
         EXPECT_TRUE(Contains(e.what(), "$HOME")) << e.what();
       }
       EXPECT_FALSE(std::filesystem::exists(out / "b.pst"));
     }},
    {"ALinkAtTheTemporaryNameIsNotFollowed",
     [](const std::filesystem::path& config, const std::filesystem::path& out) {
       const auto file = outlook::ProfilePath();
       std::filesystem::create_directories(file.parent_path());
       testsupport::WriteFile(config / "victim", "untouched");
       std::filesystem::create_symlink(config / "victim", file.string() + ".tmp-" + std::to_string(getpid()));
       auto ns = outlook::NewApplication()->GetNamespace("MAPI");
       ns->AddStore((out / "c.pst").string());
       EXPECT_EQ(ReadFile(config / "victim"), "untouched");
       EXPECT_EQ(outlook::ReadProfile().size(), 1u);
     }},
    {"AStoreThatCannotBeListedIsNotLeftBehind",
     [](const std::filesystem::path&, const std::filesystem::path& out) {
       std::filesystem::create_directories(outlook::ProfilePath());  // a folder where the file goes
       auto ns = outlook::NewApplication()->GetNamespace("MAPI");
       EXPECT_THROW(ns->AddStore((out / "d.pst").string()), AutomationError);
       EXPECT_FALSE(std::filesystem::exists(out / "d.pst"));
       EXPECT_EQ(ns->Folders()->GetLast()->Name(), "Personal Folders");  // only the default store
     }},
};

class ProfileFaults : public StandInTest, public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(ProfileFaults, Hold) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  GetParam().check(config.path(), out.path());
  if (home) setenv("HOME", savedHome.c_str(), 1);
  else unsetenv("HOME");
}

INSTANTIATE_TEST_SUITE_P(Profile, ProfileFaults, ::testing::ValuesIn(kProfileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StandInTest, RegisteredUnderItsProgId) {
  automation::ScopedRegistration keep(ao::kOutlookProgId, nullptr);
  outlook::RegisterComponent();
  auto app = automation::Registry::Instance().Create<ao::Application>(ao::kOutlookProgId);
  const std::string v = app->version();
  EXPECT_EQ(v.find("9."), std::string::npos);
  EXPECT_EQ(v.find("10."), std::string::npos);
}

}  // namespace

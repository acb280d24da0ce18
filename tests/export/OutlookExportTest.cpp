// The Outlook export against a recording Outlook and a scripted reader:
// the exact calls, the failure path at every step, the progress protocol.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>

#include <unistd.h>

#include "OutlookExportFakes.h"
#include "export/OutlookExport.h"

namespace {

using exports::OutlookFormat;
using namespace std::chrono;

// 6 December 2026, 03:28:53 and 03:29:10 (UTC; the tests run in UTC).
const system_clock::time_point kFirst = sys_days{December / 6 / 2026} + 3h + 28min + 53s;
const system_clock::time_point kSecond = kFirst + 17s;

exports::Clock TwoReadings() {
  auto n = std::make_shared<int>(0);
  return [n] { return (*n)++ == 0 ? kFirst : kSecond; };
}

struct RecordedProgress : exports::ExportProgress {
  std::vector<std::string> prepared;
  std::vector<std::int32_t> positions;
  void Prepare(std::int32_t lower, std::int32_t upper, std::int32_t whole, double step) override {
    prepared.push_back(std::to_string(lower) + "," + std::to_string(upper) + "," + std::to_string(whole) + "," +
                       std::to_string(step));
  }
  void SetPosition(std::int32_t p) override { positions.push_back(p); }
};

// The contact item's properties in order, with the reader key each takes.
const std::vector<std::pair<std::string, std::string>> kMapping{
    {"FirstName", "Name"},
    {"MiddleName", "MiddleName"},
    {"LastName", "Surname"},
    {"CompanyName", "CompanyName"},
    {"BusinessTelephoneNumber", "BusinessPhone"},
    {"BusinessFaxNumber", "BusinessFax"},
    {"HomeTelephoneNumber", "HomePhone"},
    {"HomeFaxNumber", "Fax"},
    {"MobileTelephoneNumber", "CellPhone"},
    {"BusinessAddressStreet", "BusinessAddress"},
    {"BusinessAddressCity", "City"},
    {"BusinessAddressState", "Province"},
    {"BusinessAddressPostalCode", "Postal"},
    {"BusinessAddressCountry", "Country"},
    {"HomeAddressStreet", "HomeAddress"},
    {"HomeAddressCountry", "HomeCountry"},
    {"Email1Address", "HomeEmail"},
    {"WebPage", "CompanyURL"},
    {"OfficeLocation", "OfficeLocation"},
    {"body", "Comment"},
};

const char* kReads[] = {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress",
                        "City", "Postal", "Province", "Country", "OfficeLocation", "CompanyURL",
                        "Department", "BusinessPhone", "BusinessFax", "HomeAddress", "HomeCountry",
                        "HomePhone", "Fax", "CellPhone", "Comment"};

// The exports write into a folder of this test's own: the store is staged
// under a temporary name there and renamed when complete.
const std::string kOut =
    (std::filesystem::temp_directory_path() / ("addrivo-outlook-export-" + std::to_string(::getpid()))).string() + "/";
const std::string kPst = kOut + "family-06-12-2026-03-28-53.pst";
const std::string kStaged = kOut + "STAGED";

// The log with this run's temporary store names made "STAGED".
std::vector<std::string> Normalised(std::vector<std::string> log) {
  static const std::regex staged(R"(\.addrivo-[0-9]+-pst[0-9]+\.tmp)");
  for (auto& line : log) line = std::regex_replace(line, staged, "STAGED");
  return log;
}

std::string With(std::string attach, const std::string& path) {
  return attach.replace(attach.find("PATH"), 4, path);
}
const std::string kFolder = "WAB Contacts 06-12-2026 03:29:10";

// attach names the store's path PATH: the staged one, then the final one.
std::vector<std::string> ExpectedCalls(const std::string& attach, int contacts) {
  // The book is opened and counted before Outlook gets a store.
  std::vector<std::string> c{"create warjo.wab",
                             "reader.Open(/home/ann/Mail/Family.WAB)",
                             "reader.GetCount",
                             "create Outlook.Application",
                             "app1.GetNamespace(MAPI)",
                             "app1.version",
                             "ns1." + With(attach, kStaged),
                             "ns1.Folders",
                             "[ns1].Folders.GetLast",
                             "[store " + kStaged + "].Name=Windows Address Book Contacts",
                             "ns1.RemoveStore([store " + kStaged + "])",
                             "app1.version",
                             "ns1." + With(attach, kStaged),
                             "create Outlook.Application",
                             "app2.GetNamespace(MAPI)",
                             "ns2.GetDefaultFolder(10)",
                             "[Contacts].Folders",
                             "[Contacts].Folders.Add(" + kFolder + ",10)",
                             "ns2.Folders",
                             "[ns2].Folders.GetLast"};
  for (int i = 0; i < contacts; ++i) {
    const std::string id = "c" + std::to_string(i) + ".";
    c.push_back("reader.Select(" + std::to_string(i) + ")");
    for (const char* key : kReads) c.push_back(std::string("reader.GetValue(") + key + ")");
    c.insert(c.end(), {"[Contacts].Folders", "[Contacts].Folders.GetLast", "[" + kFolder + "].Items",
                       "[" + kFolder + "].Items.Add"});
    for (const auto& [property, key] : kMapping) c.push_back("item." + property + "=" + id + key);
    c.push_back("item.Department=" + id + "Department");
    c.push_back("item.Save");
  }
  c.insert(c.end(), {"[Contacts].Folders", "[Contacts].Folders.GetLast",
                     "[" + kFolder + "].MoveTo([store " + kStaged + "])",
                     // Complete: detached, renamed and attached under its name.
                     "ns2.RemoveStore([store " + kStaged + "])", "app1.version", "ns1." + With(attach, kPst)});
  return c;
}

class OutlookExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    savedTz_ = tz ? tz : "";
    hadTz_ = tz != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
    FreshOut();
  }
  static void FreshOut() {
    std::filesystem::remove_all(kOut);
    std::filesystem::create_directories(kOut);
  }
  void TearDown() override {
    if (hadTz_) setenv("TZ", savedTz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    EXPECT_EQ(fakes::LiveObjects(), 0) << "an Outlook or reader object was kept";
    std::filesystem::remove_all(kOut);
  }

  exports::OutlookExportResult Run(OutlookFormat format, exports::ExportProgress* progress = nullptr,
                                   std::int64_t* counter = nullptr) {
    exports::OutlookExportRequest r;
    r.bookPath = bookPath;
    r.outputFolder = kOut;
    r.format = format;
    r.progress = progress;
    r.progressCounter = counter;
    r.now = TwoReadings();
    return exports::RunOutlookExport(r);
  }

  std::shared_ptr<fakes::Recorder> rec = std::make_shared<fakes::Recorder>();
  std::string bookPath = "/home/ann/Mail/Family.WAB";

 private:
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(OutlookExportTest, OlderOutlookGetsAddStoreForBothOptions) {
  rec->version = "10.0";
  rec->contacts = fakes::NumberedBook(2);
  for (auto format : {OutlookFormat::Ansi, OutlookFormat::Unicode}) {
    FreshOut();
    rec->log.clear();
    rec->apps = rec->namespaces = 0;
    fakes::FakeComponents components(rec);
    const auto result = Run(format);
    ASSERT_TRUE(result.completed) << result.cause;
    EXPECT_EQ(Normalised(rec->log), ExpectedCalls("AddStore(PATH)", 2));
    EXPECT_EQ(result.message, "2 Contacts Successfully Saved to Outlook\r\nFileName: " + kPst);
    EXPECT_EQ(result.title, "Conversion Completed...");
    EXPECT_EQ(result.saved, 2);
    EXPECT_EQ(result.pstPath, kPst);
  }
}

TEST_F(OutlookExportTest, NewerOutlookGetsTheStoreTypeOfTheChosenFormat) {
  rec->contacts = fakes::NumberedBook(3);
  struct Case {
    const char* version;
    OutlookFormat format;
    const char* code;
  };
  for (const Case& c : {Case{"11.0.5608.5606", OutlookFormat::Ansi, "3"},
                        Case{"12.0.4518.1014", OutlookFormat::Unicode, "2"},
                        Case{"16.0.0.0", OutlookFormat::Ansi, "3"}}) {
    FreshOut();
    rec->log.clear();
    rec->apps = rec->namespaces = 0;
    rec->version = c.version;
    fakes::FakeComponents components(rec);
    const auto result = Run(c.format);
    ASSERT_TRUE(result.completed) << result.cause;
    EXPECT_EQ(Normalised(rec->log), ExpectedCalls("AddStoreEx(PATH," + std::string(c.code) + ")", 3)) << c.version;
    EXPECT_EQ(result.message, "3 Contacts Successfully Saved to Outlook\r\nFileName: " + kPst);
  }
}

TEST_F(OutlookExportTest, EmptyBookStillMakesTheStoreAndTheFolder) {
  fakes::FakeComponents components(rec);
  RecordedProgress progress;
  std::int64_t counter = 77;
  const auto result = Run(OutlookFormat::Unicode, &progress, &counter);
  ASSERT_TRUE(result.completed) << result.cause;
  EXPECT_EQ(Normalised(rec->log), ExpectedCalls("AddStoreEx(PATH,2)", 0));
  EXPECT_EQ(result.message, "0 Contacts Successfully Saved to Outlook\r\nFileName: " + kPst);
  EXPECT_EQ(progress.prepared, std::vector<std::string>{"0,0,0,0.000000"});
  EXPECT_TRUE(progress.positions.empty());
  EXPECT_EQ(counter, 1);
}

TEST_F(OutlookExportTest, AFailureAtAnyStepEndsTheRunWithTheMessageAndReleasesEverything) {
  rec->contacts = fakes::NumberedBook(2);
  long total = 0;
  {
    fakes::FakeComponents components(rec);
    ASSERT_TRUE(Run(OutlookFormat::Unicode).completed);
    total = rec->calls;
  }
  ASSERT_EQ(total, static_cast<long>(ExpectedCalls("AddStoreEx(PATH,2)", 2).size()));
  FreshOut();
  for (long k = 0; k < total; ++k) {
    auto r = std::make_shared<fakes::Recorder>();
    r->contacts = rec->contacts;
    r->failAt = k;
    fakes::FakeComponents components(r);
    RecordedProgress progress;
    exports::OutlookExportRequest req;
    req.bookPath = "/home/ann/Mail/Family.WAB";
    req.outputFolder = kOut.substr(0, kOut.size() - 1);
    req.progress = &progress;
    req.now = TwoReadings();
    const auto result = exports::RunOutlookExport(req);
    r->log = Normalised(r->log);
    const auto failed = r->log.begin() + k;
    SCOPED_TRACE("failing at call " + std::to_string(k) + ": " + *failed);
    EXPECT_FALSE(result.completed);
    // The message names the cause: the book, or Outlook with what it said.
    const bool book = k < 3;
    EXPECT_EQ(result.message.rfind(book ? "The address book /home/ann/Mail/Family.WAB could not be read: refused: "
                                        : "Outlook not installed or configured for a vaild profile.\r\nrefused: ",
                                   0),
              0u)
        << result.message;
    EXPECT_EQ(result.title, "Vantrel Software");
    EXPECT_NE(result.cause.find("refused: "), std::string::npos) << result.cause;
    // After the failure only the store this run attached is detached again,
    // and no file of it is left.
    for (auto after = failed + 1; after != r->log.end(); ++after)
      EXPECT_TRUE(*after == "ns1.Folders" || *after == "[ns1].Folders.GetLast" ||
                  *after == "ns1.RemoveStore([store " + kStaged + "])" ||
                  *after == "ns1.RemoveStore([store " + kPst + "])")
          << "the run went on after the failure: " << *after;
    EXPECT_TRUE(std::filesystem::is_empty(kOut));
    EXPECT_EQ(fakes::LiveObjects(), 0);
    // Saved contacts are counted on the bar only after they are saved.
    EXPECT_EQ(progress.positions.size(),
              static_cast<std::size_t>(std::count(r->log.begin(), failed, std::string("item.Save"))));
  }
}

// The book is the file named; only the output's name drops the blanks.
TEST_F(OutlookExportTest, TheReaderGetsThePathAsGiven) {
  bookPath = "  /home/ann/Mail/Family.WAB  ";
  fakes::FakeComponents components(rec);
  const auto result = Run(OutlookFormat::Unicode);
  ASSERT_TRUE(result.completed);
  EXPECT_NE(std::find(rec->log.begin(), rec->log.end(), "reader.Open(  /home/ann/Mail/Family.WAB  )"),
            rec->log.end());
  EXPECT_EQ(result.pstPath, kPst);
}

TEST_F(OutlookExportTest, NoOutlookInstalledIsTheSameMessage) {
  fakes::FakeComponents components(rec);  // a readable book, then no Outlook
  automation::ScopedRegistration none(automation::outlook::kOutlookProgId, nullptr);
  automation::Registry::Instance().Unregister(automation::outlook::kOutlookProgId);
  const auto result = Run(OutlookFormat::Ansi);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.message.rfind("Outlook not installed or configured for a vaild profile.\r\n", 0), 0u);
  EXPECT_NE(result.cause.find("Outlook.Application"), std::string::npos);
}

TEST_F(OutlookExportTest, ProgressFollowsTheBarProtocol) {
  rec->contacts = fakes::NumberedBook(250);
  rec->logging = false;
  fakes::FakeComponents components(rec);
  RecordedProgress progress;
  std::int64_t counter = 0;
  ASSERT_TRUE(Run(OutlookFormat::Unicode, &progress, &counter).completed);
  EXPECT_EQ(progress.prepared, std::vector<std::string>{"0,250,2,2.500000"});
  ASSERT_EQ(progress.positions.size(), 250u);
  for (int i = 0; i < 250; ++i) ASSERT_EQ(progress.positions[i], i + 1);
  EXPECT_EQ(counter, 251);

}

TEST_F(OutlookExportTest, BooksBeyondSixteenBitsExportWhole) {
  rec->contacts = fakes::NumberedBook(40000);
  rec->logging = false;
  fakes::FakeComponents components(rec);
  RecordedProgress progress;
  std::int64_t counter = 0;
  const auto result = Run(OutlookFormat::Ansi, &progress, &counter);
  ASSERT_TRUE(result.completed) << result.cause;
  EXPECT_EQ(result.saved, 40000);
  EXPECT_EQ(result.message.substr(0, 15), "40000 Contacts ");
  ASSERT_EQ(progress.positions.size(), 40000u);
  EXPECT_EQ(progress.positions[32767], 32768);
  EXPECT_EQ(progress.positions.back(), 40000);
  EXPECT_EQ(counter, 40001);
}

TEST_F(OutlookExportTest, OutputNameAndFolderName) {
  using exports::OutlookOutputPath;
  const std::string pst = "/out/family-06-12-2026-03-28-53.pst";
  EXPECT_EQ(OutlookOutputPath("/home/ann/Mail/Family.WAB", "/out/", kFirst), pst);
  EXPECT_EQ(OutlookOutputPath("/home/ann/Mail/Family.WAB", "/out", kFirst), pst);
  // An extension other than ".wab" goes too.
  EXPECT_EQ(OutlookOutputPath("/m/book.dat", "/o/", kFirst), "/o/book-06-12-2026-03-28-53.pst");
  // Only the file name's own ".wab" goes, the folders of the book are
  // dropped, and letters beyond ASCII are lowered too.
  EXPECT_EQ(OutlookOutputPath("/M.WAB/\xc3\x89" "cole.wab.WAB", "/o/", kFirst),
            "/o/\xc3\xa9" "cole.wab-06-12-2026-03-28-53.pst");
  // Bytes that are not UTF-8 survive untouched.
  EXPECT_EQ(OutlookOutputPath("/m/\xff" "A.wab", "/o/", kFirst), "/o/\xff" "a-06-12-2026-03-28-53.pst");

  EXPECT_EQ(exports::ContactsFolderName(kSecond), kFolder);
  EXPECT_EQ(exports::ContactsFolderName(sys_days{January / 2 / 2027} + 9h + 5min + 7s),
            "WAB Contacts 02-01-2027 09:05:07");
}

TEST_F(OutlookExportTest, VersionFamiliesAndStoreCodes) {
  for (const char* v : {"10.0.6626", "9.0.0.8954", "11.0.8169.0", "11.0.6359.0", "10.0"})
    EXPECT_TRUE(exports::IsOlderOutlook(v)) << v;
  for (const char* v : {"11.0.5608.5606", "12.0.4518.1014", "16.0.0.0", ""})
    EXPECT_FALSE(exports::IsOlderOutlook(v)) << v;
  EXPECT_EQ(exports::StoreTypeCode(OutlookFormat::Ansi), 3);
  EXPECT_EQ(exports::StoreTypeCode(OutlookFormat::Unicode), 2);
}

}  // namespace

// The whole-book writers on hand-built books: golden vCard and CSV text
// (folding, escaping, the name fallback, dates under far-apart time zones,
// quoting), what could not travel, and the output file's consent and mode.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>

#include "export/BookExport.h"
#include "export/CsvWriter.h"
#include "export/VCardWriter.h"
#include "support/CutShort.h"
#include "support/TestData.h"
#include "platform/wab/WabFile.h"
#include "support/WabWriter.h"

namespace {

using exports::AppendContentLine;
using exports::CsvLayout;
using exports::CsvWriter;
using exports::VCardOptions;
using exports::VCardVersion;
using exports::VCardWriter;
using wab::Field;

// --- Folding -------------------------------------------------------------

struct FoldRow {
  const char* name;
  std::string value;
  bool fold;
  std::string expected;
};
void PrintTo(const FoldRow& r, std::ostream* os) { *os << r.name; }

class Folding : public ::testing::TestWithParam<FoldRow> {};

TEST_P(Folding, Golden) {
  std::string out;
  AppendContentLine(out, "NOTE", GetParam().value, GetParam().fold);
  EXPECT_EQ(out, GetParam().expected);
  for (std::size_t at = 0, end; (end = out.find("\r\n", at)) != std::string::npos; at = end + 2)
    if (GetParam().fold) {
      EXPECT_LE(end - at, 75u);
    }
}

const std::string a69(69, 'a'), a70(70, 'a'), a74(74, 'a');
// "あ" is E3 81 82: after "NOTE:" and 69 octets it would take octets 75-77.
INSTANTIATE_TEST_SUITE_P(
    VCard, Folding,
    ::testing::Values(
        FoldRow{"FitsExactly", a70, true, "NOTE:" + a70 + "\r\n"},
        FoldRow{"AsciiAtSeventyFive", a70 + "bc", true, "NOTE:" + a70 + "\r\n bc\r\n"},
        FoldRow{"MultiByteOnTheBoundary", a69 + "\xE3\x81\x82" "b", true,
                "NOTE:" + a69 + "\r\n \xE3\x81\x82" "b\r\n"},
        FoldRow{"ContinuationLinesHoldSeventyFour", a70 + a74 + "z", true,
                "NOTE:" + a70 + "\r\n " + a74 + "\r\n z\r\n"},
        FoldRow{"NoFold", a70 + a74 + "z", false, "NOTE:" + a70 + a74 + "z\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Escaping and the name ---------------------------------------------------

wab::Contact Person(std::uint32_t id) {
  wab::Contact c;
  c.id = id;
  return c;
}

std::string Card(const wab::Contact& c, VCardVersion v, bool fold = true) {
  wab::Book book;
  book.contacts.push_back(c);
  VCardWriter writer(book, VCardOptions{v, fold});
  std::string out;
  writer.AppendContact(book.contacts.front(), out);
  return out;
}

std::string LineOf(const std::string& card, const std::string& name) {
  const auto at = card.find("\r\n" + name);
  if (at == std::string::npos) return {};
  return card.substr(at + 2, card.find("\r\n", at + 2) - at - 2);
}

struct EscapeRow {
  const char* name;
  std::string note;
  std::string v3;
  std::string v4;
};
void PrintTo(const EscapeRow& r, std::ostream* os) { *os << r.name; }

class Escaping : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(Escaping, NoteInBothVersions) {
  wab::Contact c = Person(3);
  c.displayName = "X";
  c[Field::Notes] = GetParam().note;
  EXPECT_EQ(LineOf(Card(c, VCardVersion::V3), "NOTE"), "NOTE:" + GetParam().v3);
  EXPECT_EQ(LineOf(Card(c, VCardVersion::V4), "NOTE"), "NOTE:" + GetParam().v4);
}

INSTANTIATE_TEST_SUITE_P(
    VCard, Escaping,
    ::testing::Values(EscapeRow{"Comma", "a,b", "a\\,b", "a\\,b"},
                      EscapeRow{"Semicolon", "a;b", "a\\;b", "a;b"},
                      EscapeRow{"Backslash", "C:\\dir", "C:\\\\dir", "C:\\\\dir"},
                      EscapeRow{"CrLfCrAndLf", "1\r\n2\r3\n4", "1\\n2\\n3\\n4", "1\\n2\\n3\\n4"},
                      EscapeRow{"Colon", "a:b", "a:b", "a:b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VCardStructured, ComponentsEscapeSemicolonsInBothVersions) {
  wab::Contact c = Person(3);
  c[Field::Surname] = "O;Neil";
  c[Field::GivenName] = "Ann, Jr";
  c[Field::Company] = "A;B";
  c[Field::Department] = "R&D";
  for (VCardVersion v : {VCardVersion::V3, VCardVersion::V4}) {
    const std::string card = Card(c, v);
    EXPECT_EQ(LineOf(card, "N:"), "N:O\\;Neil;Ann\\, Jr;;;");
    EXPECT_EQ(LineOf(card, "ORG"), "ORG:A\\;B;R&D");
  }
}

struct NameRow {
  const char* name;
  std::function<void(wab::Contact&)> fill;
  std::string fn;
};
void PrintTo(const NameRow& r, std::ostream* os) { *os << r.name; }

class FormattedName : public ::testing::TestWithParam<NameRow> {};

TEST_P(FormattedName, FallsBackInOrder) {
  wab::Contact c = Person(9);
  GetParam().fill(c);
  EXPECT_EQ(LineOf(Card(c, VCardVersion::V3), "FN"), "FN:" + GetParam().fn);
}

INSTANTIATE_TEST_SUITE_P(
    VCard, FormattedName,
    ::testing::Values(
        NameRow{"DisplayName",
                [](wab::Contact& c) {
                  c.displayName = "Shown";
                  c[Field::GivenName] = "G";
                },
                "Shown"},
        NameRow{"GivenAndSurname",
                [](wab::Contact& c) {
                  c[Field::GivenName] = "Ann";
                  c[Field::Surname] = "Lee";
                  c[Field::Company] = "Acme";
                },
                "Ann Lee"},
        NameRow{"SurnameOnly", [](wab::Contact& c) { c[Field::Surname] = "Lee"; }, "Lee"},
        NameRow{"Company",
                [](wab::Contact& c) {
                  c[Field::Company] = "Acme";
                  c.emails = {{"a@x", "SMTP", true}};
                },
                "Acme"},
        NameRow{"DefaultEmail",
                [](wab::Contact& c) { c.emails = {{"other@x", "SMTP", false}, {"main@x", "SMTP", true}}; },
                "main@x"},
        NameRow{"NothingAtAll", [](wab::Contact&) {}, "(no name)"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Dates never move across time zones ----------------------------------------

class BirthdayZone : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("TZ", GetParam(), 1);
    tzset();
  }
  void TearDown() override {
    if (saved_)
      setenv("TZ", saved_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::optional<std::string> saved_;
};

TEST_P(BirthdayZone, SameDateInEveryZone) {
  wab::Contact c = Person(3);
  c.displayName = "B";
  c.birthday = {1970, 3, 5};
  c.anniversary = {2000, 12, 31};
  c.modified = 86400 * 3 + 3600;  // 1970-01-04T01:00:00Z
  const std::string v3 = Card(c, VCardVersion::V3), v4 = Card(c, VCardVersion::V4);
  EXPECT_EQ(LineOf(v3, "BDAY"), "BDAY;VALUE=date:1970-03-05");
  EXPECT_EQ(LineOf(v3, "X-ANNIVERSARY"), "X-ANNIVERSARY:2000-12-31");
  EXPECT_EQ(LineOf(v3, "REV"), "REV:1970-01-04T01:00:00Z");
  EXPECT_EQ(LineOf(v4, "BDAY"), "BDAY:19700305");
  EXPECT_EQ(LineOf(v4, "ANNIVERSARY"), "ANNIVERSARY:20001231");
  EXPECT_EQ(LineOf(v4, "REV"), "REV:19700104T010000Z");
  wab::Book book;
  book.contacts.push_back(c);
  for (CsvLayout layout : {CsvLayout::Outlook, CsvLayout::Google}) {
    CsvWriter csv(book, layout);
    std::string row;
    csv.AppendContact(c, row);
    EXPECT_NE(row.find(layout == CsvLayout::Outlook ? ",3/5/1970," : ",1970-03-05,"), std::string::npos) << row;
  }
}

INSTANTIATE_TEST_SUITE_P(VCard, BirthdayZone, ::testing::Values("Pacific/Auckland", "Pacific/Honolulu"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(n.find('/') + 1);
                         });

// --- Whole cards ----------------------------------------------------------------

wab::Book SmallBook() {
  wab::Book book;
  wab::Contact c = Person(3);
  c.displayName = "Ann Lee";
  c[Field::GivenName] = "Ann";
  c[Field::Surname] = "Lee";
  c[Field::Mobile] = "+1 555";
  c[Field::HomeCity] = "Köln";
  c.emails = {{"b@x.org", "SMTP", false}, {"a@x.org", "SMTP", true}};
  c.gender = wab::Gender::Female;
  c[Field::Spouse] = "Bo";
  c.children = {"Cy", "Di"};
  c.groups = {20};
  book.contacts.push_back(c);
  wab::Group g;
  g.id = 20;
  g.displayName = "Team";
  g.members = {{wab::Member::Kind::Record, 3, "", "", ""},
               {wab::Member::Kind::Missing, 99, "", "", ""},
               {wab::Member::Kind::OneOff, 0, "Ext", "ext@y.org", "SMTP"}};
  book.groups.push_back(g);
  return book;
}

TEST(VCardCards, GoldenContactAndGroupInBothVersions) {
  const wab::Book book = SmallBook();
  const std::string ann = exports::StableUuid(book.contacts[0], false);
  const std::string team = exports::StableUuid(book.groups[0], true);
  struct {
    VCardVersion version;
    std::string expected;
  } rows[] = {
      {VCardVersion::V3,
       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\n"
       "EMAIL;TYPE=INTERNET,PREF:a@x.org\r\nEMAIL;TYPE=INTERNET:b@x.org\r\nTEL;TYPE=CELL:+1 555\r\n"
       "ADR;TYPE=HOME:;;;Köln;;;\r\nX-GENDER:Female\r\nX-SPOUSE:Bo\r\nX-CHILDREN:Cy\r\nX-CHILDREN:Di\r\n"
       "CATEGORIES:Team\r\nUID:" + ann + "\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Team\r\nN:;;;;\r\nX-ADDRESSBOOKSERVER-KIND:group\r\n"
       "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:" + ann + "\r\nX-ADDRESSBOOKSERVER-MEMBER:mailto:ext@y.org\r\n"
       "UID:" + team + "\r\nEND:VCARD\r\n"},
      {VCardVersion::V4,
       "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\n"
       "EMAIL;PREF=1:a@x.org\r\nEMAIL:b@x.org\r\nTEL;TYPE=cell:+1 555\r\n"
       "ADR;TYPE=home:;;;Köln;;;\r\nGENDER:F\r\nRELATED;TYPE=spouse;VALUE=text:Bo\r\n"
       "RELATED;TYPE=child;VALUE=text:Cy\r\nRELATED;TYPE=child;VALUE=text:Di\r\n"
       "CATEGORIES:Team\r\nUID:urn:uuid:" + ann + "\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\nN:;;;;\r\n"
       "MEMBER:urn:uuid:" + ann + "\r\nMEMBER:mailto:ext@y.org\r\n"
       "UID:urn:uuid:" + team + "\r\nEND:VCARD\r\n"},
  };
  for (const auto& row : rows) {
    VCardWriter writer(book, VCardOptions{row.version, true});
    std::string out;
    writer.AppendContact(book.contacts[0], out);
    writer.AppendGroup(book.groups[0], out);
    EXPECT_EQ(out, row.expected);
    EXPECT_EQ(writer.losses().missingMembers, 1);
  }
  // The same record gives the same identifier; another record another one.
  EXPECT_EQ(exports::StableUuid(SmallBook().contacts[0], false), ann);
  EXPECT_NE(team, ann);
  EXPECT_EQ(ann[14], '8');
}

// --- CSV ----------------------------------------------------------------------

TEST(Csv, QuotesNotesWithCommasQuotesAndLineBreaks) {
  const struct {
    std::string value, expected;
  } rows[] = {
      {"plain", "plain"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"line1\r\nline2", "\"line1\r\nline2\""},
      {"lone\nLF", "\"lone\nLF\""},
      {"", ""},
  };
  for (const auto& row : rows) {
    std::string out;
    exports::AppendCsvField(out, row.value);
    EXPECT_EQ(out, row.expected) << row.value;
  }
}

// Cells a spreadsheet would run are neutralised in both layouts and counted;
// ordinary values, phone numbers among them, are written exactly as they
// are. A group's own fields have no column in either: counted.
TEST(Csv, FormulaCellsAreNeutralisedAndGroupsFieldsCounted) {
  const std::pair<std::string, std::string> rows[] = {  // the company, its cell as written ("" unchanged)
      {"=HYPERLINK(\"http://a.example/\",\"Open\")", "\"'=HYPERLINK(\"\"http://a.example/\"\",\"\"Open\"\")\""},
      {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"}, {"@SUM(1+1)", "'@SUM(1+1)"}, {"-2+3", "'-2+3"},
      {"+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0"}, {"\tTab", "'\tTab"}, {"\rCR", "\"'\rCR\""}, {"-", "'-"},
      {"+1 555 0100", ""}, {"-12.5", ""}, {"+49 (0)30-1234/5", ""}, {"Acme = Best", ""}, {"a@b.example", ""}};
  for (const auto layout : {CsvLayout::Outlook, CsvLayout::Google}) {
    for (const auto& [company, written] : rows) {
      wab::Book book;
      book.contacts.push_back(Person(1));
      book.contacts[0].displayName = book.contacts[0][Field::GivenName] = "Ann";
      book.contacts[0][Field::Company] = company;
      book.groups.push_back(wab::Group{});
      book.groups[0][Field::HomePhone] = book.groups[0][Field::Notes] = "5";
      book.groups[0].emails.push_back({"g@x", "SMTP", true});
      CsvWriter csv(book, layout);
      std::string out;
      csv.AppendContact(book.contacts[0], out);
      csv.CountGroupLosses();
      EXPECT_NE(out.find("," + (written.empty() ? company : written) + ","), std::string::npos) << company << out;
      EXPECT_EQ(csv.losses().formulaCells, written.empty() ? 0 : 1) << company;
      EXPECT_EQ(csv.losses().groupFields, 3);
    }
  }
}

TEST(Csv, OutlookGoldenWithAddressesBeyondThreeSlotsInTheNotes) {
  wab::Book book;
  wab::Contact c = Person(3);
  c.displayName = "Lee, Ann";
  c[Field::GivenName] = "Ann";
  c[Field::Surname] = "Lee";
  c[Field::Notes] = "Met at \"Expo\", 2001\r\nCall back";
  for (int i = 1; i <= 5; ++i) c.emails.push_back({"m" + std::to_string(i) + "@x", "SMTP", i == 4});
  c[Field::Nickname] = "Annie";
  book.contacts.push_back(c);
  CsvWriter csv(book, CsvLayout::Outlook);
  std::string out;
  csv.AppendHeader(out);
  csv.AppendContact(book.contacts[0], out);
  EXPECT_EQ(out.rfind("\xEF\xBB\xBFTitle,First Name,Middle Name,Last Name,", 0), 0u);
  const std::string row = out.substr(out.find("\r\n") + 2);
  EXPECT_EQ(row,
            ",Ann,,Lee" + std::string(25, ',') +
                "m4@x,SMTP,\"Lee, Ann (m4@x)\",m1@x,SMTP,\"Lee, Ann (m1@x)\",m2@x,SMTP,\"Lee, Ann (m2@x)\","
                "Unspecified,\"Met at \"\"Expo\"\", 2001\r\nCall back\r\n\r\nDisplay name: Lee, Ann\r\n"
                "E-mail: m3@x\r\nE-mail: m5@x\r\nNickname: Annie\",,,\r\n");
  EXPECT_EQ(csv.losses().emailsInNotes, 2);
  EXPECT_EQ(csv.losses().valuesInNotes, 2);  // the display name and the nickname
  const auto lines = csv.losses().Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "2 e-mail addresses did not fit the layout's e-mail columns and were moved into the notes.");
}

TEST(Csv, GoogleNumbersEveryAddressAndPhoneAndJoinsGroups) {
  wab::Book book = SmallBook();
  book.groups.push_back(wab::Group{});
  book.groups.back().id = 21;
  book.groups.back().displayName = "Golf";
  book.contacts[0].groups = {20, 21};
  book.contacts[0][Field::BusinessPhone] = "1";
  wab::Contact other = Person(4);
  for (int i = 0; i < 4; ++i) other.emails.push_back({"o" + std::to_string(i) + "@x", "SMTP", i == 0});
  book.contacts.push_back(other);
  CsvWriter csv(book, CsvLayout::Google);
  std::string out;
  csv.AppendHeader(out);
  EXPECT_EQ(out.rfind("Name,Given Name,Additional Name,Family Name,", 0), 0u);
  EXPECT_NE(out.find("E-mail 4 - Type,E-mail 4 - Value,Phone 1 - Type"), std::string::npos);
  EXPECT_NE(out.find("Phone 2 - Value,Address 1 - Type"), std::string::npos);
  out.clear();
  csv.AppendContact(book.contacts[0], out);
  EXPECT_NE(out.find(",Team ::: Golf,* Other,a@x.org,Other,b@x.org,,,,,Work,1,Mobile,+1 555,"), std::string::npos)
      << out;
  csv.CountGroupLosses();
  EXPECT_EQ(csv.losses().missingMembers, 1);
  EXPECT_EQ(csv.losses().addressMembers, 1);
  for (const auto& h : csv.headers()) EXPECT_EQ(h.find_first_of(",\""), std::string::npos) << h;
}

// --- Output file and consent --------------------------------------------------

struct OutputRow {
  const char* name;
  std::function<void(const std::filesystem::path& out)> before;  // given the output's path
  exports::ReplaceConsent consent;
  bool written;                    // the export's file is in place
  std::vector<std::string> names;  // the folder afterwards, besides the book; "OUT" is the export's file
  unsigned mode;                   // of the output file, under umask 027
};

// A process number nobody has: a child that has been waited for.
pid_t GonePid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

const std::string kStale = ".addrivo-" + std::to_string(GonePid()) + "-7.tmp";

const OutputRow kOutputRows[] = {
    {"ANewFileNeedsNoConsent", nullptr, {}, true, {"OUT"}, 0640},
    {"AnExistingFileWithNoOneToAskIsKept", [](const auto& out) { testsupport::WriteFile(out, "old"); }, {},
     false, {"OUT"}, 0},
    {"AnExistingFileIsKeptWhenTheAnswerIsNo", [](const auto& out) { testsupport::WriteFile(out, "old"); },
     [](const std::string&) { return false; }, false, {"OUT"}, 0},
    {"AnExistingFileIsReplacedWhenTheAnswerIsYes",
     [](const auto& out) {
       testsupport::WriteFile(out, "old");
       std::filesystem::permissions(out, std::filesystem::perms::owner_all);
     },
     [](const std::string&) { return true; }, true, {"OUT"}, 0640},
    {"TemporariesOfAKilledRunAreRemoved", [](const auto& out) { testsupport::WriteFile(out.parent_path() / kStale, "half"); }, {}, true,
     {"OUT"}, 0640},
};

// Every whole-book format writes through the same output file: the umask's
// mode, consent before replacing, nothing left by a killed run.
TEST(BookOutput, EveryFormatHonoursConsentUmaskAndCleansUp) {
  const mode_t oldMask = ::umask(027);
  for (const auto format : {exports::BookFormat::VCard, exports::BookFormat::CsvOutlook, exports::BookFormat::Xlsx}) {
    for (const auto& row : kOutputRows) {
      SCOPED_TRACE(row.name);
      testsupport::TempDir dir;
      testsupport::WriteGeneratedBook(dir / "book.wab", 3);
      const std::string out = exports::BookFileName("book.wab", format);
      auto at = [&](const std::string& name) { return dir / (name == "OUT" ? out : name); };
      if (row.before) row.before(at("OUT"));
      int asked = 0;
      exports::BookExportRequest request;
      request.bookPath = (dir / "book.wab").string();
      request.folder = dir.path().string();
      request.format = format;
      if (row.consent) request.replace = [&](const std::string& p) {
        ++asked;
        EXPECT_EQ(p, at("OUT").string());
        return row.consent(p);
      };
      const auto result = exports::ExportBook(request);
      EXPECT_EQ(result.completed, row.written) << result.message;
      if (!row.written) {
        EXPECT_NE(result.message.find("already exists"), std::string::npos) << result.message;
      }
      EXPECT_EQ(testsupport::ReadFile(at("OUT")) != "old", row.written);
      EXPECT_EQ(asked, row.before && row.consent ? 1 : 0);
      std::vector<std::string> want{"book.wab"}, names;
      for (const auto& n : row.names) want.push_back(n == "OUT" ? out : n);
      for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
      std::sort(want.begin(), want.end());
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, want);
      if (row.written) {
        struct stat st {};
        ::stat(at("OUT").c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, row.mode);
      }
    }
  }
  ::umask(oldMask);
}

// --- Read a contact at a time ----------------------------------------------------

// A generated book plus a contact with a property nobody reads, a damaged
// contact, and a group listing both.
std::filesystem::path BookWithDamage(const testsupport::TempDir& dir) {
  using namespace testsupport::wab;
  auto book = testsupport::GeneratedBook(120);
  book.records.push_back(Contact(90001, {Unicode(kSurname, "Odd"), Raw(Tag(0x3A06, 0x0099), "??")}));
  book.records.push_back(Contact(90002, {Unicode(kSurname, "Broken")}));
  book.records.push_back(Group(90003, "Listing both", {90001, 90002}));
  Layout layout;
  std::string bytes = WriteBook(book, &layout);
  // Its first value no longer repeats its tag.
  const std::uint32_t at = layout.recordOffsets[book.records.size() - 2];
  std::uint32_t tags = 0;
  for (int i = 0; i < 4; ++i) tags |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 12 + i])) << (8 * i);
  bytes[at + 0x20 + 4 * tags] ^= 0x01;
  testsupport::WriteFile(dir / "book.wab", bytes);
  return dir / "book.wab";
}

struct StreamRow {
  const char* name;
  exports::BookFormat format;
  VCardVersion version;
};
void PrintTo(const StreamRow& r, std::ostream* os) { *os << r.name; }

class ContactAtATime : public ::testing::TestWithParam<StreamRow> {};

// The same bytes and counts as the writers over the whole book held, though
// the two-pass formats read every contact twice.
TEST_P(ContactAtATime, SameAsTheWholeBookHeld) {
  testsupport::TempDir dir;
  const auto path = BookWithDamage(dir);
  const wab::Book held = wab::LoadBook(path.string());
  ASSERT_GT(held.skippedRecords, 0u);
  ASSERT_GT(held.skippedProperties, 0u);
  std::string expected;
  exports::LossReport heldLoss;
  if (GetParam().format == exports::BookFormat::CsvOutlook || GetParam().format == exports::BookFormat::CsvGoogle) {
    CsvWriter csv(held, GetParam().format == exports::BookFormat::CsvOutlook ? CsvLayout::Outlook : CsvLayout::Google);
    csv.AppendHeader(expected);
    for (const auto& c : held.contacts) csv.AppendContact(c, expected);
    csv.CountGroupLosses();
    heldLoss = csv.losses();
  } else {
    VCardWriter vcard(held, VCardOptions{GetParam().version, true});
    for (const auto& c : held.contacts) vcard.AppendContact(c, expected);
    for (const auto& g : held.groups) vcard.AppendGroup(g, expected);
    heldLoss = vcard.losses();
  }
  exports::BookExportRequest request;
  request.bookPath = path.string();
  request.folder = dir.path().string();
  request.format = GetParam().format;
  request.vcard.version = GetParam().version;
  const auto result = exports::ExportBook(request);
  ASSERT_TRUE(result.completed) << result.message;
  if (GetParam().format != exports::BookFormat::Xlsx) {
    EXPECT_EQ(testsupport::ReadFile(result.outputPath), expected);
  }
  EXPECT_EQ(result.contacts, static_cast<std::int32_t>(held.contacts.size()));
  EXPECT_EQ(result.loss.skippedRecords, static_cast<std::int64_t>(held.skippedRecords));
  EXPECT_EQ(result.loss.skippedProperties, static_cast<std::int64_t>(held.skippedProperties));
  EXPECT_EQ(result.loss.missingMembers, heldLoss.missingMembers);
  EXPECT_GT(result.loss.missingMembers, 0) << "the damaged contact is no member";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ContactAtATime,
    ::testing::Values(StreamRow{"VCard3", exports::BookFormat::VCard, VCardVersion::V3},
                      StreamRow{"VCard4", exports::BookFormat::VCard, VCardVersion::V4},
                      StreamRow{"CsvOutlook", exports::BookFormat::CsvOutlook, VCardVersion::V3},
                      StreamRow{"CsvGoogle", exports::BookFormat::CsvGoogle, VCardVersion::V3},
                      // Its members are counted as the vCard's are.
                      StreamRow{"Xlsx", exports::BookFormat::Xlsx, VCardVersion::V3}),
    [](const auto& info) { return std::string(info.param.name); });

// Contacts are read while the file is written: a book cut short then fails
// as an unreadable book does, and leaves nothing behind.
TEST(ContactAtATimeCutShort, FailsAndLeavesNoFile) {
  for (const auto format : {exports::BookFormat::VCard, exports::BookFormat::CsvOutlook,
                            exports::BookFormat::CsvGoogle, exports::BookFormat::Xlsx}) {
    testsupport::TempDir dir;
    testsupport::WriteGeneratedBook(dir / "book.wab", 2000);
    testsupport::CutShortAtFirst cut(dir / "book.wab");
    exports::BookExportRequest request;
    request.bookPath = (dir / "book.wab").string();
    request.folder = dir.path().string();
    request.format = format;
    request.progress = &cut;
    const auto result = exports::ExportBook(request);
    EXPECT_FALSE(result.completed);
    EXPECT_NE(result.message.find("could not be read: " + std::string(wab::kBookCutShort)), std::string::npos)
        << result.message;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << result.outputPath;
  }
}

TEST(BookOutput, LossesOfEveryExportAreWordedInOnePlace) {
  exports::LossReport loss;
  EXPECT_TRUE(loss.empty());
  loss.shortenLimitBytes = 0;
  loss.shortenedValues = 2;
  loss.membersLeftOut = 1;
  loss.skippedProperties = 1;
  EXPECT_FALSE(loss.empty());
  EXPECT_EQ(loss.Lines(),
            (std::vector<std::string>{
                "1 group member was left out: an entry no longer in the book, or an address without one",
                "2 values were longer than the format holds and were shortened.",
                "1 property of a kind no export reads was left out."}));
}

}  // namespace

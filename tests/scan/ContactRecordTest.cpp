#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "../app/FakeAddressBook.h"
#include "platform/os/Os.h"
#include "scan/ContactKey.h"
#include "scan/ContactRecord.h"

using namespace scan;

namespace {
using Values = std::vector<std::string>;

Values Numbered() {
  Values v;
  for (int i = 0; i < kRecordFieldCount; ++i) v.push_back("f" + std::to_string(i));
  return v;
}

std::string Joined(const Values& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "|" : "") + v[i];
  return s;
}

std::tm When(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}
}  // namespace

TEST(ContactRecordTest, OrdinaryValuesAreJoinedWithBarsExactlyAsRead) {
  Values v = Numbered();
  v[0] = " Ann ";  // spaces kept: only the node's text is trimmed
  v[20] = "line 1\r\nline 2 \\ C:\\path";
  const std::string record = JoinRecord(v);
  EXPECT_EQ(record, Joined(v));
  EXPECT_EQ(std::count(record.begin(), record.end(), '|'), 20);
  EXPECT_EQ(SplitRecord(record), v);
}

TEST(ContactRecordTest, AllEmptyContactIsTwentySeparatorsAndSplitsIntoTwentyOneEmptyParts) {
  const std::string record = JoinRecord(Values(kRecordFieldCount));
  EXPECT_EQ(record, std::string(20, '|'));
  EXPECT_FALSE(record.empty());  // still marks a contact node
  const Values parts = SplitRecord(record);
  ASSERT_EQ(parts.size(), 21u);
  for (const std::string& p : parts) EXPECT_TRUE(p.empty());
  // Fewer values than fields: the missing ones are empty, the separators stay.
  EXPECT_EQ(JoinRecord({"x"}), "x" + std::string(20, '|'));
}

TEST(ContactRecordTest, BarsAndEscapesInsideValuesKeepEveryFieldInItsPlace) {
  Values v = Numbered();
  v[0] = "A|B";
  v[4] = "||";
  v[7] = "\x1Bp";  // looks like an escaped bar, is not
  v[12] = "\x1B";
  v[20] = "ends with |";
  const std::string record = JoinRecord(v);
  EXPECT_EQ(std::count(record.begin(), record.end(), '|'), 20);
  const Values parts = SplitRecord(record);
  ASSERT_EQ(parts.size(), 21u);
  EXPECT_EQ(parts, v);
}

TEST(ContactRecordTest, StrayEscapeInStoredTextIsKept) {
  EXPECT_EQ(DecodeField("\x1Bx"), "\x1Bx");
  EXPECT_EQ(DecodeField("a\x1B"), "a\x1B");
}

TEST(ContactRecordTest, ReadsInScanOrderAndStoresInRecordOrder) {
  testsupport::FakeAddressBook reader;
  testsupport::FakeAddressBook::Contact c;
  for (std::string_view key : automation::kReaderFieldKeys) c[std::string(key)] = "v-" + std::string(key);
  reader.contacts = {c};
  reader.Select(0);
  reader.calls.clear();
  const Values fields = ReadContactFields(reader);

  std::vector<std::string> expectedCalls;
  for (const char* key : {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
                          "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department",
                          "BusinessPhone", "BusinessFax", "HomeAddress", "Country", "HomePhone", "Fax", "CellPhone",
                          "Comment"})
    expectedCalls.push_back(std::string("GetValue:") + key);
  EXPECT_EQ(reader.calls, expectedCalls);

  ASSERT_EQ(fields.size(), 21u);
  const char* positions[] = {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
                             "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department",
                             "BusinessPhone", "BusinessFax", "CellPhone", "HomeAddress", "Country", "HomePhone", "Fax",
                             "Comment"};
  for (int i = 0; i < 21; ++i) EXPECT_EQ(fields[i], std::string("v-") + positions[i]) << "position " << i;
  EXPECT_EQ(fields[9], fields[17]);
}

TEST(ContactKeyTest, IndexThenDayMonthYearAndTwentyFourHourTime) {
  const std::tm when = When(2008, 3, 6, 14, 5, 9);
  EXPECT_EQ(ContactKey(0, when), "06-3-08-14-05-09");
  EXPECT_EQ(ContactKey(1, when), "16-3-08-14-05-09");
  EXPECT_EQ(ContactKey(12, when), "126-3-08-14-05-09");
  EXPECT_EQ(ContactKey(40000, When(2019, 12, 31, 0, 0, 0)), "4000031-12-19-00-00-00");
  EXPECT_EQ(ContactKey(3, When(2000, 11, 25, 23, 59, 59)), "325-11-00-23-59-59");
}

TEST(ContactKeyTest, GroupIsTheLatinInitialOfEitherCaseWithoutAccentElseOther) {
  struct Case {
    const char* name;
    const char* group;
  } cases[] = {
      {"Zoe", "Z"},      {"zoe", "Z"},         {"  Bob ", "B"},     {"\u00c9mile", "E"},  // É
      {"\u00e9mile", "E"},                                                                  // é
      {"e\u0301mile", "E"},                                                                 // e + combining acute
      {"\u0141ukasz", "Other"},                                                             // Ł has no base letter
      {"\u00d8rjan", "Other"},  {"1st Floor", "Other"}, {"#hash", "Other"}, {"\u03a9mega", "Other"},
      {"\u592a\u90ce", "Other"},  // CJK
      {"\u2161", "Other"},        // Roman numeral two: not a letter of a group
      {"\U0001D400bc", "Other"},  // mathematical bold A, outside the BMP
      {"   ", "Other"},  {"", "Other"},      {"\tTab", "Other"},  // tabs are not trimmed
  };
  for (const Case& c : cases)
    EXPECT_EQ(GroupKeyFor(c.name), c.group) << c.name;
}

TEST(ContactKeyTest, DisplayTextDropsSpacesOnly) {
  EXPECT_EQ(DisplayText("  Bob  "), "Bob");
  EXPECT_EQ(DisplayText("   "), "");
  EXPECT_EQ(DisplayText("\tBob\t"), "\tBob\t");
}

TEST(ContactKeyTest, KeysReadTogetherDifferOnlyInTheirLeadingIndex) {
  ContactKeyClock clock;
  std::string k0, k1, k12;
  std::time_t before, after;
  do {  // retry in the rare case the second turns over between the reads
    before = std::time(nullptr);
    k0 = clock.KeyNow(0);
    k1 = clock.KeyNow(1);
    k12 = clock.KeyNow(12);
    after = std::time(nullptr);
  } while (before != after);
  EXPECT_EQ(k0, ContactKey(0, os::LocalTime(before)));  // local time, as the direct form gives it
  EXPECT_EQ(k1, "1" + k0.substr(1));
  EXPECT_EQ(k12, "12" + k0.substr(1));
}

#include <gtest/gtest.h>

#include <QDateTime>

#include "../app/FakeAddressBook.h"
#include "scan/ContactKey.h"
#include "scan/ContactRecord.h"
#include "scan/ProgressCounter.h"

using namespace scan;

namespace {
QStringList Numbered() {
  QStringList v;
  for (int i = 0; i < kRecordFieldCount; ++i) v << QStringLiteral("f%1").arg(i);
  return v;
}
}  // namespace

TEST(ContactRecordTest, OrdinaryValuesAreJoinedWithBarsExactlyAsRead) {
  QStringList v = Numbered();
  v[0] = QStringLiteral(" Ann ");  // spaces kept: only the node's text is trimmed
  v[20] = QStringLiteral("line 1\r\nline 2 \\ C:\\path");
  const QString record = JoinRecord(v);
  EXPECT_EQ(record, v.join(u'|'));
  EXPECT_EQ(record.count(u'|'), 20);
  EXPECT_EQ(SplitRecord(record), v);
}

TEST(ContactRecordTest, AllEmptyContactIsTwentySeparatorsAndSplitsIntoTwentyOneEmptyParts) {
  const QString record = JoinRecord(QStringList(kRecordFieldCount, QString()));
  EXPECT_EQ(record, QString(20, u'|'));
  EXPECT_FALSE(record.isEmpty());  // still marks a contact node
  const QStringList parts = SplitRecord(record);
  ASSERT_EQ(parts.size(), 21);
  for (const QString& p : parts) EXPECT_TRUE(p.isEmpty());
  // Fewer values than fields: the missing ones are empty, the separators stay.
  EXPECT_EQ(JoinRecord({QStringLiteral("x")}), QStringLiteral("x") + QString(20, u'|'));
}

TEST(ContactRecordTest, BarsAndEscapesInsideValuesKeepEveryFieldInItsPlace) {
  QStringList v = Numbered();
  v[0] = QStringLiteral("A|B");
  v[4] = QStringLiteral("||");
  v[7] = QString(QChar(0x1B)) + QStringLiteral("p");  // looks like an escaped bar, is not
  v[12] = QString(QChar(0x1B));
  v[20] = QStringLiteral("ends with |");
  const QString record = JoinRecord(v);
  EXPECT_EQ(record.count(u'|'), 20);
  const QStringList parts = SplitRecord(record);
  ASSERT_EQ(parts.size(), 21);
  EXPECT_EQ(parts, v);
}

TEST(ContactRecordTest, StrayEscapeInStoredTextIsKept) {
  const QString esc(QChar(0x1B));
  EXPECT_EQ(DecodeField(esc + QStringLiteral("x")), esc + QStringLiteral("x"));
  EXPECT_EQ(DecodeField(QStringLiteral("a") + esc), QStringLiteral("a") + esc);
}

TEST(ContactRecordTest, ReadsInScanOrderAndStoresInRecordOrder) {
  testsupport::FakeAddressBook reader;
  testsupport::FakeAddressBook::Contact c;
  for (std::string_view key : automation::kReaderFieldKeys) c[std::string(key)] = "v-" + std::string(key);
  reader.contacts = {c};
  reader.Select(0);
  reader.calls.clear();
  const QStringList fields = ReadContactFields(reader);

  std::vector<std::string> expectedCalls;
  for (const char* key : {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
                          "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department",
                          "BusinessPhone", "BusinessFax", "HomeAddress", "Country", "HomePhone", "Fax", "CellPhone",
                          "Comment"})
    expectedCalls.push_back(std::string("GetValue:") + key);
  EXPECT_EQ(reader.calls, expectedCalls);

  ASSERT_EQ(fields.size(), 21);
  const char* positions[] = {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
                             "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department",
                             "BusinessPhone", "BusinessFax", "CellPhone", "HomeAddress", "Country", "HomePhone", "Fax",
                             "Comment"};
  for (int i = 0; i < 21; ++i) EXPECT_EQ(fields[i], QString("v-") + positions[i]) << "position " << i;
  EXPECT_EQ(fields[9], fields[17]);
}

TEST(ContactKeyTest, IndexThenDayMonthYearAndTwentyFourHourTime) {
  const QDateTime when(QDate(2008, 3, 6), QTime(14, 5, 9));
  EXPECT_EQ(ContactKey(0, when), QStringLiteral("06-3-08-14-05-09"));
  EXPECT_EQ(ContactKey(1, when), QStringLiteral("16-3-08-14-05-09"));
  EXPECT_EQ(ContactKey(12, when), QStringLiteral("126-3-08-14-05-09"));
  EXPECT_EQ(ContactKey(40000, QDateTime(QDate(2019, 12, 31), QTime(0, 0, 0))),
            QStringLiteral("4000031-12-19-00-00-00"));
  EXPECT_EQ(ContactKey(3, QDateTime(QDate(2000, 11, 25), QTime(23, 59, 59))),
            QStringLiteral("325-11-00-23-59-59"));
}

TEST(ContactKeyTest, GroupIsTheLatinInitialOfEitherCaseWithoutAccentElseOther) {
  struct Case {
    const char16_t* name;
    const char* group;
  } cases[] = {
      {u"Zoe", "Z"},      {u"zoe", "Z"},         {u"  Bob ", "B"},     {u"\u00c9mile", "E"},  // É
      {u"\u00e9mile", "E"},                                                                  // é
      {u"e\u0301mile", "E"},                                                                 // e + combining acute
      {u"\u0141ukasz", "Other"},                                                             // Ł has no base letter
      {u"\u00d8rjan", "Other"},  {u"1st Floor", "Other"}, {u"#hash", "Other"}, {u"\u03a9mega", "Other"},
      {u"\u592a\u90ce", "Other"},  // CJK
      {u"\u2161", "Other"},        // Roman numeral two: not a letter of a group
      {u"\U0001D400bc", "Other"},  // mathematical bold A, outside the BMP
      {u"   ", "Other"},  {u"", "Other"},      {u"\tTab", "Other"},  // tabs are not trimmed
  };
  for (const Case& c : cases)
    EXPECT_EQ(GroupKeyFor(QString::fromUtf16(c.name)), QString::fromLatin1(c.group))
        << QString::fromUtf16(c.name).toStdString();
}

TEST(ContactKeyTest, DisplayTextDropsSpacesOnly) {
  EXPECT_EQ(DisplayText(QStringLiteral("  Bob  ")), QStringLiteral("Bob"));
  EXPECT_EQ(DisplayText(QStringLiteral("   ")), QString());
  EXPECT_EQ(DisplayText(QStringLiteral("\tBob\t")), QStringLiteral("\tBob\t"));
}

TEST(ProgressCounterTest, LargeStepRoundsHalvesToEven) {
  EXPECT_EQ(LargeProgressStep(0), 0);
  EXPECT_EQ(LargeProgressStep(50), 0);
  EXPECT_EQ(LargeProgressStep(51), 1);
  EXPECT_EQ(LargeProgressStep(149), 1);
  EXPECT_EQ(LargeProgressStep(150), 2);
  EXPECT_EQ(LargeProgressStep(250), 2);
  EXPECT_EQ(LargeProgressStep(350), 4);
  EXPECT_EQ(LargeProgressStep(32766), 328);
  EXPECT_EQ(LargeProgressStep(2147483647), 21474836);
}

TEST(ProgressCounterTest, HoldsTheLargestCountPlusOne) {
  static_assert(sizeof(ProgressCounter) > 4, "must hold N + 1 for any count the reader reports");
  ProgressCounter = 2147483647;
  ++ProgressCounter;
  EXPECT_EQ(ProgressCounter, 2147483648LL);
  ProgressCounter = 1;
}

TEST(ContactKeyTest, KeysReadTogetherDifferOnlyInTheirLeadingIndex) {
  ContactKeyClock clock;
  QString k0, k1, k12;
  QDateTime before, after;
  do {  // retry in the rare case the second turns over between the reads
    before = QDateTime::currentDateTime();
    k0 = clock.KeyNow(0);
    k1 = clock.KeyNow(1);
    k12 = clock.KeyNow(12);
    after = QDateTime::currentDateTime();
  } while (before.toSecsSinceEpoch() != after.toSecsSinceEpoch());
  EXPECT_EQ(k0, ContactKey(0, before));  // local time, as the direct form gives it
  EXPECT_EQ(k1, QStringLiteral("1") + k0.mid(1));
  EXPECT_EQ(k12, QStringLiteral("12") + k0.mid(1));
}

// The scan loop on its own: what reaches the tree, in which order, and what
// the progress hears, over small books given row by row.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <map>

#include "../app/FakeAddressBook.h"
#include "scan/ContactKey.h"
#include "scan/ContactRecord.h"
#include "scan/ContactTree.h"
#include "scan/ProgressCounter.h"
#include "scan/ScanBook.h"

namespace {

using testsupport::FakeAddressBook;

// Prepare and every position, with the contact nodes in the tree at each.
struct RecordingProgress : scan::ScanProgress {
  explicit RecordingProgress(const QTreeWidget& view) : view(view) {}
  void Prepare(std::int32_t count) override { events.push_back("Prepare:" + std::to_string(count)); }
  void SetPosition(std::int64_t position) override {
    events.push_back(std::to_string(position) + "@" + std::to_string(ContactNodes()));
  }
  int ContactNodes() const {
    int n = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&view)); *it; ++it)
      n += !scan::ContactTree::NodeRecordText(*it).isEmpty();
    return n;
  }
  const QTreeWidget& view;
  std::vector<std::string> events;
};

struct Row {
  const char* what;
  std::vector<FakeAddressBook::Contact> contacts;
  std::vector<std::string> groups;  // of each contact, in reader order
};

FakeAddressBook::Contact Full(const std::string& name) {
  FakeAddressBook::Contact c;
  for (std::string_view key : automation::kReaderFieldKeys) c[std::string(key)] = std::string(key) + "|" + name;
  c["Name"] = name;
  return c;
}

class ScanBookTest : public ::testing::TestWithParam<Row> {};

TEST_P(ScanBookTest, EachContactGetsItsNodeAndRecordBeforeItsPosition) {
  const Row& row = GetParam();
  FakeAddressBook reader;
  reader.contacts = row.contacts;
  QTreeWidget view;
  scan::ContactTree tree(&view);
  scan::PopulateDefaultTree(tree, {});
  RecordingProgress progress(view);

  EXPECT_EQ(scan::ScanBook(reader, tree, &progress), static_cast<std::int32_t>(row.contacts.size()));

  std::vector<std::string> expected{"Prepare:" + std::to_string(row.contacts.size())};
  for (std::size_t i = 1; i <= row.contacts.size(); ++i) expected.push_back(std::to_string(i) + "@" + std::to_string(i));
  EXPECT_EQ(progress.events, expected);
  EXPECT_EQ(ProgressCounter, static_cast<std::int64_t>(row.contacts.size()) + 1);

  // Each node sits in its group, and its record is what the field-by-field
  // reading joins (a second reader gives the reference).
  FakeAddressBook reference;
  reference.contacts = row.contacts;
  std::map<std::string, int> taken;  // contacts met so far in each group
  for (std::size_t i = 0; i < row.contacts.size(); ++i) {
    QTreeWidgetItem* group = tree.FindNode(QString::fromStdString(row.groups[i]));
    ASSERT_NE(group, nullptr) << row.what << " " << i;
    QTreeWidgetItem* node = group->child(taken[row.groups[i]]++);
    ASSERT_NE(node, nullptr) << row.what << " " << i;
    EXPECT_TRUE(scan::ContactTree::NodeKey(node).startsWith(QString::number(i)));
    EXPECT_EQ(tree.FindNode(scan::ContactTree::NodeKey(node)), node);
    reference.Select(static_cast<std::int32_t>(i));
    EXPECT_EQ(scan::ContactTree::NodeRecordText(node), scan::JoinRecord(scan::ReadContactFields(reference)))
        << row.what << " " << i;
    EXPECT_EQ(node->text(0), scan::DisplayText(QString::fromStdString(row.contacts[i].at("Name"))));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Books, ScanBookTest,
    ::testing::Values(Row{"empty book", {}, {}},
                      Row{"every field, separators inside", {Full("Ann"), Full("  bob"), Full("")}, {"A", "B", "Other"}},
                      Row{"accented and non-Latin names", {Full("Émile"), Full("東京"), Full("zoë")}, {"E", "Other", "Z"}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(ScanBookFailure, ContactsAddedBeforeAFailureStayWithTheirRecords) {
  FakeAddressBook reader;
  reader.contacts = {Full("Ann"), Full("Bob"), Full("Cy")};
  reader.beforeCall = [](const std::string& call) {
    if (call == "Select:2") throw automation::AutomationError("record 2 is damaged");
  };
  QTreeWidget view;
  scan::ContactTree tree(&view);
  scan::PopulateDefaultTree(tree, {});
  RecordingProgress progress(view);
  EXPECT_THROW(scan::ScanBook(reader, tree, &progress), automation::AutomationError);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"Prepare:3", "1@1", "2@2"}));
  EXPECT_EQ(tree.NodeCount(), 28 + 2);
  EXPECT_EQ(ProgressCounter, 3);
}

}  // namespace

namespace {

TEST(ScanBookCounts, ACountBelowZeroAddsNothing) {
  FakeAddressBook reader;
  reader.generatedCount = -1000000;
  reader.value = [](std::int32_t, const std::string&) { return std::string("x"); };
  QTreeWidget view;
  scan::ContactTree tree(&view);
  scan::PopulateDefaultTree(tree, {});
  RecordingProgress progress(view);
  EXPECT_EQ(scan::ScanBook(reader, tree, &progress), -1000000);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"Prepare:-1000000"}));
  EXPECT_EQ(tree.NodeCount(), 28);
  EXPECT_EQ(ProgressCounter, 1);
}

}  // namespace

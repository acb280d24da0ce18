// The scan loop on its own: what reaches the tree, in which order, and what
// the progress hears, over small books given row by row.
#include <gtest/gtest.h>

#include <map>

#include "../app/FakeAddressBook.h"
#include "scan/ContactKey.h"
#include "scan/ContactRecord.h"
#include "scan/ScanBook.h"
#include "scan/TreeModel.h"

namespace {

using testsupport::FakeAddressBook;

// Prepare and every position, with the contact nodes in the tree at each.
struct RecordingProgress : scan::ScanProgress {
  explicit RecordingProgress(const scan::TreeModel& tree) : tree(tree) {}
  void Prepare(std::int32_t count) override { events.push_back("Prepare:" + std::to_string(count)); }
  void SetPosition(std::int64_t position) override {
    events.push_back(std::to_string(position) + "@" + std::to_string(tree.ContactNodes().size()));
  }
  const scan::TreeModel& tree;
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

void PrintTo(const Row& row, std::ostream* os) { *os << row.what; }

class ScanBookTest : public ::testing::TestWithParam<Row> {};

TEST_P(ScanBookTest, EachContactGetsItsNodeAndRecordBeforeItsPosition) {
  const Row& row = GetParam();
  FakeAddressBook reader;
  reader.contacts = row.contacts;
  scan::TreeModel tree;
  scan::PopulateDefaultTree(tree);
  RecordingProgress progress(tree);

  EXPECT_EQ(scan::ScanBook(reader, tree, &progress), static_cast<std::int32_t>(row.contacts.size()));

  std::vector<std::string> expected{"Prepare:" + std::to_string(row.contacts.size())};
  for (std::size_t i = 1; i <= row.contacts.size(); ++i) expected.push_back(std::to_string(i) + "@" + std::to_string(i));
  EXPECT_EQ(progress.events, expected);

  // Each node sits in its group, and its record is what the field-by-field
  // reading joins (a second reader gives the reference).
  FakeAddressBook reference;
  reference.contacts = row.contacts;
  const std::vector<scan::NodeId> nodes = tree.ContactNodes();
  ASSERT_EQ(nodes.size(), row.contacts.size());
  for (std::size_t i = 0; i < row.contacts.size(); ++i) {
    const scan::ModelNode* node = tree.Node(nodes[i]);
    EXPECT_EQ(node->shown.parent, tree.FindId(row.groups[i])) << row.what << " " << i;
    EXPECT_EQ(node->key.rfind(std::to_string(i), 0), 0u) << node->key;
    EXPECT_EQ(tree.FindNode(node->key), node);
    reference.Select(static_cast<std::int32_t>(i));
    EXPECT_EQ(node->record, scan::JoinRecord(scan::ReadContactFields(reference))) << row.what << " " << i;
    EXPECT_EQ(node->shown.text, scan::DisplayText(row.contacts[i].at("Name")));
    // The fake reader names no records: nothing ties the node to one.
    EXPECT_EQ(node->subject, scan::NodeSubject::None);
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
  scan::TreeModel tree;
  scan::PopulateDefaultTree(tree);
  RecordingProgress progress(tree);
  EXPECT_THROW(scan::ScanBook(reader, tree, &progress), automation::AutomationError);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"Prepare:3", "1@1", "2@2"}));
  EXPECT_EQ(tree.NodeCount(), 28u + 2);
}

}  // namespace

namespace {

TEST(ScanBookCounts, ACountBelowZeroAddsNothing) {
  FakeAddressBook reader;
  reader.generatedCount = -1000000;
  reader.value = [](std::int32_t, const std::string&) { return std::string("x"); };
  scan::TreeModel tree;
  scan::PopulateDefaultTree(tree);
  RecordingProgress progress(tree);
  EXPECT_EQ(scan::ScanBook(reader, tree, &progress), -1000000);
  EXPECT_EQ(progress.events, (std::vector<std::string>{"Prepare:-1000000"}));
  EXPECT_EQ(tree.NodeCount(), 28u);
}

}  // namespace

// The contact tree's model: its skeleton, keys and ids, and what a view
// hears of each change, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/TreeModel.h"

using namespace scan;

namespace {

// Every change as one line: "+id<parent text img/sel", "clear", "hide id", "expand id".
struct Recorder : TreeListener {
  void Cleared() override { log.push_back("clear"); }
  void Added(const TreeNode& n) override {
    log.push_back("+" + std::to_string(n.id) + "<" + std::to_string(n.parent) + " " + n.text + " " +
                  std::to_string(n.image) + "/" + std::to_string(n.selectedImage) + (n.hidden ? " hidden" : "") +
                  (n.style == NodeStyle::Deleted ? " deleted" : ""));
  }
  void HiddenChanged(NodeId id, bool hidden) override { log.push_back((hidden ? "hide " : "show ") + std::to_string(id)); }
  void Expanded(NodeId id, bool expand) override { log.push_back((expand ? "expand " : "collapse ") + std::to_string(id)); }
  std::vector<std::string> log;
};

}  // namespace

TEST(TreeModelTest, SkeletonIsRootThenAToZThenOtherWithoutRecords) {
  TreeModel tree;
  Recorder view;
  tree.SetListener(&view);
  PopulateDefaultTree(tree);
  ASSERT_EQ(tree.NodeCount(), 28u);
  std::vector<std::string> expected{"clear", "+1<0 WAB Contacts 40/40"};
  for (int i = 0; i < 27; ++i) {
    const std::string group = i < 26 ? std::string(1, char('A' + i)) : "Other";
    expected.push_back("+" + std::to_string(i + 2) + "<1 " + group + " 38/-1");
    EXPECT_EQ(tree.FindId(group), static_cast<NodeId>(i + 2));
    EXPECT_EQ(tree.FindNode(group)->key, group);
    EXPECT_TRUE(tree.FindNode(group)->record.empty());
  }
  expected.push_back("expand 1");
  EXPECT_EQ(view.log, expected);
  EXPECT_TRUE(tree.ContactNodes().empty());
}

TEST(TreeModelTest, RebuildingDropsContactsAndTheirKeysAndNeverReusesAnId) {
  TreeModel tree;
  PopulateDefaultTree(tree);
  const NodeId zed = tree.AddNode("01-1-20-10-00-00", "Zed", kImageContacts, kNoImage, "Z", "Zed|||");
  EXPECT_EQ(tree.NodeCount(), 29u);
  PopulateDefaultTree(tree);
  PopulateDefaultTree(tree);
  EXPECT_EQ(tree.NodeCount(), 28u);
  EXPECT_EQ(tree.FindNode("01-1-20-10-00-00"), nullptr);
  // A click on a node drawn before the rebuild finds nothing, not another node.
  EXPECT_EQ(tree.Node(zed), nullptr);
  EXPECT_GT(tree.FindId(kRootKey), zed);
}

TEST(TreeModelTest, ContactNodeSitsUnderItsGroupAndIsFoundByKeyAndId) {
  TreeModel tree;
  PopulateDefaultTree(tree);
  Recorder view;
  tree.SetListener(&view);
  const NodeId c = tree.AddNode("126-3-08-14-05-09", "Zed", kImageContacts, kNoImage, "Z", "rec");
  EXPECT_EQ(tree.Node(c)->shown.parent, tree.FindId("Z"));
  EXPECT_EQ(tree.FindId("126-3-08-14-05-09"), c);
  EXPECT_EQ(tree.Node(c)->record, "rec");
  EXPECT_EQ(tree.FindNode("no such key"), nullptr);
  // A parent key naming no node is refused, not silently put somewhere.
  EXPECT_THROW(tree.AddNode("k", "x", kImageContacts, kNoImage, "a"), TreeError);
  EXPECT_EQ(tree.FindNode("k"), nullptr);
  EXPECT_EQ(view.log, (std::vector<std::string>{"+" + std::to_string(c) + "<27 Zed 3/-1"}));
  EXPECT_EQ(tree.ContactNodes(), std::vector<NodeId>{c});
}

TEST(TreeModelTest, ARepeatedKeyGoesToTheNewNodeWhileTheOldStaysFoundByItsId) {
  TreeModel tree;
  PopulateDefaultTree(tree);
  const NodeId first = tree.AddNode("06-3-08-14-05-09", "Ann", kImageContacts, kNoImage, "A", "first");
  const NodeId second = tree.AddNode("06-3-08-14-05-09", "Ann", kImageContacts, kNoImage, "A", "second");
  EXPECT_EQ(tree.FindId("06-3-08-14-05-09"), second);
  EXPECT_EQ(tree.Node(first)->record, "first");
  EXPECT_EQ(tree.Node(second)->record, "second");
}

TEST(TreeModelTest, DeletedNodesArriveMarkedAndHiddenAndShowOnRequest) {
  TreeModel tree;
  PopulateDefaultTree(tree);
  Recorder view;
  tree.SetListener(&view);
  const NodeId d = tree.AddNode("Deleted 7", "Old (deleted)", kImageContacts, kNoImage, "O", {}, NodeStyle::Deleted, true);
  tree.SetSubject(d, NodeSubject::Contact, 7);
  tree.SetHidden(d, true);  // no change, nothing told
  tree.SetHidden(d, false);
  const std::string id = std::to_string(d);
  EXPECT_EQ(view.log, (std::vector<std::string>{"+" + id + "<16 Old (deleted) 3/-1 hidden deleted", "show " + id}));
  EXPECT_EQ(tree.Node(d)->subject, NodeSubject::Contact);
  EXPECT_EQ(tree.Node(d)->recordId, 7u);
}

#include <gtest/gtest.h>

#include <QTreeWidget>

#include "scan/ContactTree.h"

using namespace scan;

namespace {
QVector<QIcon> Icons() {
  QVector<QIcon> icons(41);
  for (int i : {kImageContacts, kImageCardTransfer, kImageAddressBook}) {
    QPixmap p(16, 16);
    p.fill(QColor(i, 0, 0));
    icons[i] = QIcon(p);
  }
  return icons;
}
}  // namespace

TEST(ContactTreeTest, SkeletonIsRootThenAToZThenOtherWithoutRecords) {
  QTreeWidget view;
  ContactTree tree(&view);
  PopulateDefaultTree(tree, Icons());
  ASSERT_EQ(tree.NodeCount(), 28);
  ASSERT_EQ(view.topLevelItemCount(), 1);
  QTreeWidgetItem* root = view.topLevelItem(0);
  EXPECT_EQ(root->text(0), QStringLiteral("WAB Contacts"));
  EXPECT_EQ(ContactTree::NodeKey(root), QStringLiteral("WAB Contacts"));
  EXPECT_EQ(root->data(0, ContactTree::ImageRole).toInt(), 40);
  EXPECT_EQ(root->data(0, ContactTree::SelectedImageRole).toInt(), 40);
  EXPECT_TRUE(ContactTree::NodeRecordText(root).isEmpty());
  ASSERT_EQ(root->childCount(), 27);
  for (int i = 0; i < 27; ++i) {
    QTreeWidgetItem* group = root->child(i);
    const QString expected = i < 26 ? QString(QChar(u'A' + i)) : QStringLiteral("Other");
    EXPECT_EQ(group->text(0), expected);
    EXPECT_EQ(ContactTree::NodeKey(group), expected);
    EXPECT_EQ(tree.FindNode(expected), group);
    EXPECT_EQ(group->data(0, ContactTree::ImageRole).toInt(), 38);
    EXPECT_EQ(group->data(0, ContactTree::SelectedImageRole).toInt(), -1);
    EXPECT_FALSE(group->icon(0).isNull());
    EXPECT_TRUE(ContactTree::NodeRecordText(group).isEmpty());
    EXPECT_EQ(group->childCount(), 0);
  }
  EXPECT_TRUE(root->isExpanded());
}

TEST(ContactTreeTest, RebuildingDropsContactsAndTheirKeys) {
  QTreeWidget view;
  ContactTree tree(&view);
  PopulateDefaultTree(tree, Icons());
  QTreeWidgetItem* c = tree.AddNode(QStringLiteral("01-1-20-10-00-00"), QStringLiteral("Zed"), kImageContacts,
                                    kNoImage, QStringLiteral("Z"));
  ContactTree::SetNodeRecordText(c, QStringLiteral("Zed||||||||||||||||||||"));
  EXPECT_EQ(tree.NodeCount(), 29);
  PopulateDefaultTree(tree, Icons());
  PopulateDefaultTree(tree, Icons());
  EXPECT_EQ(tree.NodeCount(), 28);
  EXPECT_EQ(tree.FindNode(QStringLiteral("01-1-20-10-00-00")), nullptr);
}

TEST(ContactTreeTest, ContactNodeSitsUnderItsGroupAndIsFoundByKey) {
  QTreeWidget view;
  ContactTree tree(&view);
  PopulateDefaultTree(tree, Icons());
  QTreeWidgetItem* c = tree.AddNode(QStringLiteral("126-3-08-14-05-09"), QStringLiteral("Zed"), kImageContacts,
                                    kNoImage, QStringLiteral("Z"));
  EXPECT_EQ(c->parent(), tree.FindNode(QStringLiteral("Z")));
  EXPECT_EQ(tree.FindNode(QStringLiteral("126-3-08-14-05-09")), c);
  EXPECT_EQ(c->data(0, ContactTree::ImageRole).toInt(), 3);
  EXPECT_FALSE(c->icon(0).isNull());
  EXPECT_EQ(tree.FindNode(QStringLiteral("no such key")), nullptr);
  // A parent key naming no node is refused, not silently put somewhere.
  EXPECT_THROW(tree.AddNode(QStringLiteral("k"), QStringLiteral("x"), kImageContacts, kNoImage, QStringLiteral("a")),
               TreeError);
  EXPECT_EQ(tree.FindNode(QStringLiteral("k")), nullptr);
}

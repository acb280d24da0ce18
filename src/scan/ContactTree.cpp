#include "ContactTree.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QTreeWidgetItemIterator>

namespace scan {

ContactTree::ContactTree(QTreeWidget* view) : view_(view) {}

void ContactTree::Clear() {
  view_->clear();
  byKey_.clear();
}

void ContactTree::SetImageList(QVector<QIcon> images) { images_ = std::move(images); }

QIcon ContactTree::Image(int index) const {
  if (index < 0 || index >= images_.size()) return {};
  return images_[index];
}

QTreeWidgetItem* ContactTree::AddNode(const QString& key, const QString& text, int image,
                                      int selectedImage, const QString& parentKey, const QString& record) {
  QTreeWidgetItem* parent = nullptr;
  if (!parentKey.isEmpty()) {
    parent = FindNode(parentKey);
    if (!parent) throw TreeError("No node of the contact tree has the key \"" + parentKey.toStdString() + "\".");
  }
  auto* node = new QTreeWidgetItem(QStringList{text});
  node->setData(0, KeyRole, key);
  node->setData(0, ImageRole, image);
  node->setData(0, SelectedImageRole, selectedImage);
  if (!record.isNull()) node->setData(0, RecordRole, record);
  QIcon icon = Image(image);
  if (selectedImage != kNoImage) {
    const QIcon selected = Image(selectedImage);
    for (const QSize& size : selected.availableSizes())
      icon.addPixmap(selected.pixmap(size), QIcon::Selected);
  }
  node->setIcon(0, icon);
  if (parent)
    parent->addChild(node);
  else
    view_->addTopLevelItem(node);
  byKey_.insert(key, node);
  return node;
}

QTreeWidgetItem* ContactTree::FindNode(const QString& key) const { return byKey_.value(key, nullptr); }

QString ContactTree::NodeKey(const QTreeWidgetItem* node) { return node->data(0, KeyRole).toString(); }

QString ContactTree::NodeRecordText(const QTreeWidgetItem* node) { return node->data(0, RecordRole).toString(); }

void ContactTree::SetNodeRecordText(QTreeWidgetItem* node, const QString& record) {
  node->setData(0, RecordRole, record);
}

int ContactTree::NodeCount() const {
  int count = 0;
  for (QTreeWidgetItemIterator it(view_); *it; ++it) ++count;
  return count;
}

void ContactTree::Refresh() { view_->viewport()->update(); }

void ContactTree::ExpandRoot(bool expand) {
  if (QTreeWidgetItem* root = FindNode(kRootKey); root && root->isExpanded() != expand) root->setExpanded(expand);
}

void PopulateDefaultTree(ContactTree& tree, const QVector<QIcon>& smallIcons) {
  tree.Clear();
  tree.SetImageList(smallIcons);
  tree.AddNode(kRootKey, kRootKey, kImageAddressBook, kImageAddressBook, QString());
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    const QString key(QChar{letter});
    tree.AddNode(key, key, kImageCardTransfer, kNoImage, kRootKey);
  }
  tree.AddNode(QStringLiteral("Other"), QStringLiteral("Other"), kImageCardTransfer, kNoImage, kRootKey);
  tree.ExpandRoot(true);
}

}  // namespace scan

// The contact tree: the list the user browses and the store of every
// contact's record. Nodes are found by key, as the scan and the detail view
// expect; each node carries its key, its image indexes and its record text.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <QVector>
#include <stdexcept>

class QTreeWidget;
class QTreeWidgetItem;

namespace scan {

// Indexes of the tree's images in the image list.
inline constexpr int kImageContacts = 3;
inline constexpr int kImageCardTransfer = 38;
inline constexpr int kImageAddressBook = 40;
inline constexpr int kNoImage = -1;

inline const QString kRootKey = QStringLiteral("WAB Contacts");

// A tree operation that cannot be carried out (a parent key naming no node).
class TreeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ContactTree {
 public:
  // Item data roles under which a node keeps what the tree knows of it.
  enum Role { KeyRole = Qt::UserRole + 1, RecordRole, ImageRole, SelectedImageRole };

  explicit ContactTree(QTreeWidget* view);

  QTreeWidget* View() const { return view_; }

  void Clear();
  void SetImageList(QVector<QIcon> images);

  // Adds a node under the node keyed parentKey (the empty key: top level).
  // Throws TreeError when no node has parentKey. A key already in use (a
  // repeated scan within the same second) is taken over by the new node.
  // With a record, the node carries it from the start.
  QTreeWidgetItem* AddNode(const QString& key, const QString& text, int image, int selectedImage,
                           const QString& parentKey, const QString& record = QString());
  // The node with that key, or nullptr.
  QTreeWidgetItem* FindNode(const QString& key) const;
  static QString NodeKey(const QTreeWidgetItem* node);
  static QString NodeRecordText(const QTreeWidgetItem* node);
  static void SetNodeRecordText(QTreeWidgetItem* node, const QString& record);

  // The two follow-ups after a change: show the latest node's branch as it
  // stands, and keep the root open so every group is in sight.
  void Refresh();
  void ExpandRoot(bool expand);

  // Makes room for that many more nodes, so a scan does not grow the key
  // table step by step.
  void Reserve(int moreNodes) { byKey_.reserve(byKey_.size() + moreNodes); }

  // Every node of the tree, contacts included.
  int NodeCount() const;

 private:
  QIcon Image(int index) const;

  QTreeWidget* view_;
  QVector<QIcon> images_;
  QHash<QString, QTreeWidgetItem*> byKey_;
};

// Empties the tree and builds its skeleton: the root "WAB Contacts", the
// groups "A" to "Z" and the group "Other", 28 nodes, none with a record.
void PopulateDefaultTree(ContactTree& tree, const QVector<QIcon>& smallIcons);

}  // namespace scan

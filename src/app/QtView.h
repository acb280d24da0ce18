// A form's view in Qt: carries out what the form says on the widgets and
// actions that carry the designed names under one window. It decides
// nothing; the window that owns it builds the controls and forwards events.
#pragma once

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QProgressBar>
#include <QVector>
#include <QWidget>
#include <unordered_map>

#include "forms/View.h"

class QTreeWidgetItem;

namespace app {

// The scan's progress bar. Besides its bounds and position the scan gives it
// a large step and a scale for N contacts; a plain bar shows the position
// only, so both are kept for whoever asks and change nothing on screen.
class ScanProgressBar : public QProgressBar {
  Q_OBJECT
 public:
  using QProgressBar::QProgressBar;
  void SetLargeChange(int step) { largeChange_ = step; }
  int LargeChange() const { return largeChange_; }
  void SetScale(double scale) { scale_ = scale; }
  double Scale() const { return scale_; }

 private:
  int largeChange_ = 0;
  double scale_ = 0.0;
};

class QtView : public forms::View {
 public:
  // Item data role under which a tree item keeps its node id.
  static constexpr int kNodeIdRole = Qt::UserRole + 1;

  explicit QtView(QWidget* window) : window_(window) {}

  // The images the tree's nodes name by index (SmallIcons).
  void SetImageList(QVector<QIcon> images) { images_ = std::move(images); }

  void SetText(std::string_view control, const std::string& text) override;
  void SetEnabled(std::string_view control, bool enabled) override;
  void SetVisible(std::string_view control, bool visible) override;
  void SetChecked(std::string_view control, bool checked) override;
  void SetItems(std::string_view control, const std::vector<std::string>& items) override;
  void SetToolTip(std::string_view control, const std::string& text) override;
  void PrepareProgress(std::string_view bar, const forms::ProgressSetup& setup) override;
  void SetProgress(std::string_view bar, std::int64_t position) override;
  void ClearTree(std::string_view tree) override;
  void AddTreeNode(std::string_view tree, const forms::TreeNode& node) override;
  void SetTreeNodeHidden(std::string_view tree, forms::NodeId node, bool hidden) override;
  void ExpandTreeNode(std::string_view tree, forms::NodeId node, bool expand) override;
  void RefreshTree(std::string_view tree) override;
  void HideForm() override;
  void CloseForm() override;
  dialogs::Owner Owner() const override { return dialogs::Owner{window_.data()}; }

  // The tree item that draws a node, or nullptr; and the node of an item.
  QTreeWidgetItem* ItemOf(forms::NodeId node) const;
  static forms::NodeId NodeOf(const QTreeWidgetItem* item);

 private:
  QObject* Find(std::string_view control);
  QIcon Image(int index) const;

  QPointer<QWidget> window_;
  QHash<QString, QPointer<QObject>> found_;
  QVector<QIcon> images_;
  std::unordered_map<forms::NodeId, QTreeWidgetItem*> items_;
  QHash<QString, int> shownPercent_;  // of each progress bar, to repaint only when it changes
};

}  // namespace app

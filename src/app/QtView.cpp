#include "QtView.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace app {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QObject* QtView::Find(std::string_view control) {
  const QString name = Q(control);
  if (const auto it = found_.constFind(name); it != found_.constEnd() && *it) return *it;
  if (!window_) return nullptr;
  QObject* object = window_->objectName() == name ? static_cast<QObject*>(window_.data())
                                                  : window_->findChild<QObject*>(name);
  found_.insert(name, object);
  return object;
}

void QtView::SetText(std::string_view control, const std::string& text) {
  const QString value = QString::fromStdString(text);
  // "OsenXPTab1.2": the second tab of OsenXPTab1.
  if (const auto dot = control.rfind('.'); dot != std::string_view::npos) {
    if (auto* tabs = qobject_cast<QTabWidget*>(Find(control.substr(0, dot)))) {
      tabs->setTabText(std::stoi(std::string(control.substr(dot + 1))) - 1, value);
      return;
    }
  }
  QObject* object = Find(control);
  if (object == window_.data()) {
    window_->setWindowTitle(value);
  } else if (auto* action = qobject_cast<QAction*>(object)) {
    action->setText(value);
  } else if (auto* menu = qobject_cast<QMenu*>(object)) {
    menu->setTitle(value);
  } else if (auto* line = qobject_cast<QLineEdit*>(object)) {
    if (line->text() != value) line->setText(value);
    line->setCursorPosition(0);
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(object)) {
    multi->setPlainText(value);
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setText(value);
  } else if (auto* frame = qobject_cast<QGroupBox*>(object)) {
    frame->setTitle(value);
  } else if (auto* tree = qobject_cast<QTreeWidget*>(object)) {
    tree->setHeaderLabel(value);
  }
}

void QtView::SetEnabled(std::string_view control, bool enabled) {
  QObject* object = Find(control);
  if (auto* action = qobject_cast<QAction*>(object))
    action->setEnabled(enabled);
  else if (auto* widget = qobject_cast<QWidget*>(object))
    widget->setEnabled(enabled);
}

void QtView::SetVisible(std::string_view control, bool visible) {
  QObject* object = Find(control);
  if (auto* action = qobject_cast<QAction*>(object))
    action->setVisible(visible);
  else if (auto* widget = qobject_cast<QWidget*>(object))
    widget->setVisible(visible);
}

void QtView::SetChecked(std::string_view control, bool checked) {
  QObject* object = Find(control);
  if (auto* action = qobject_cast<QAction*>(object)) {
    action->setChecked(checked);
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    if (button->isChecked() == checked) return;
    // An exclusive group lets no button of it be unchecked on its own.
    QButtonGroup* group = button->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive && !checked) group->setExclusive(false);
    button->setChecked(checked);
    if (exclusive && !checked) group->setExclusive(true);
  }
}

void QtView::SetItems(std::string_view control, const std::vector<std::string>& items) {
  if (auto* list = qobject_cast<QListWidget*>(Find(control))) {
    list->clear();
    for (const std::string& item : items) list->addItem(QString::fromStdString(item));
  } else if (auto* combo = qobject_cast<QComboBox*>(Find(control))) {
    combo->clear();
    for (const std::string& item : items) combo->addItem(QString::fromStdString(item));
  }
}

void QtView::SetToolTip(std::string_view control, const std::string& text) {
  if (auto* widget = qobject_cast<QWidget*>(Find(control))) widget->setToolTip(QString::fromStdString(text));
}

void QtView::PrepareProgress(std::string_view bar, const forms::ProgressSetup& setup) {
  auto* progress = qobject_cast<QProgressBar*>(Find(bar));
  if (!progress) return;
  progress->setMinimum(setup.lower);
  // An empty book gives an empty bar: a range of 0..0 would make Qt show its
  // "busy" animation instead.
  progress->setMaximum(setup.upper > setup.lower ? setup.upper : setup.lower + 1);
  if (auto* scanBar = qobject_cast<ScanProgressBar*>(progress)) {
    scanBar->SetLargeChange(setup.largeChange);
    scanBar->SetScale(setup.scale);
  }
  shownPercent_[Q(bar)] = -1;
}

void QtView::SetProgress(std::string_view bar, std::int64_t position) {
  auto* progress = qobject_cast<QProgressBar*>(Find(bar));
  if (!progress) return;
  // The position never exceeds the count, and the count fits an int.
  progress->setValue(static_cast<int>(position));
  // The forms do not yield to the event loop while they work, so the bar
  // repaints itself whenever its shown percentage changes.
  const qint64 span = progress->maximum() - progress->minimum();
  const int percent = span > 0 ? static_cast<int>(100 * (position - progress->minimum()) / span) : 100;
  int& shown = shownPercent_[Q(bar)];
  if (percent != shown && progress->isVisible()) {
    shown = percent;
    progress->repaint();
  }
}

QIcon QtView::Image(int index) const {
  if (index < 0 || index >= images_.size()) return {};
  return images_[index];
}

void QtView::ClearTree(std::string_view tree) {
  if (auto* view = qobject_cast<QTreeWidget*>(Find(tree))) view->clear();
  items_.clear();
}

void QtView::AddTreeNode(std::string_view tree, const forms::TreeNode& node) {
  auto* view = qobject_cast<QTreeWidget*>(Find(tree));
  if (!view) return;
  auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(node.text)});
  item->setData(0, kNodeIdRole, node.id);
  QIcon icon = Image(node.image);
  if (node.selectedImage != -1) {
    const QIcon selected = Image(node.selectedImage);
    for (const QSize& size : selected.availableSizes()) icon.addPixmap(selected.pixmap(size), QIcon::Selected);
  }
  item->setIcon(0, icon);
  if (node.style == forms::NodeStyle::Deleted) {
    item->setForeground(0, QBrush(Qt::gray));
    QFont italic = item->font(0);
    italic.setItalic(true);
    item->setFont(0, italic);
  }
  QTreeWidgetItem* parent = ItemOf(node.parent);
  if (parent)
    parent->addChild(item);
  else
    view->addTopLevelItem(item);
  if (node.hidden) item->setHidden(true);
  items_[node.id] = item;
}

void QtView::SetTreeNodeHidden(std::string_view, forms::NodeId node, bool hidden) {
  if (QTreeWidgetItem* item = ItemOf(node)) item->setHidden(hidden);
}

void QtView::ExpandTreeNode(std::string_view, forms::NodeId node, bool expand) {
  if (QTreeWidgetItem* item = ItemOf(node); item && item->isExpanded() != expand) item->setExpanded(expand);
}

void QtView::RefreshTree(std::string_view tree) {
  if (auto* view = qobject_cast<QTreeWidget*>(Find(tree))) view->viewport()->update();
}

void QtView::HideForm() {
  if (window_) window_->hide();
}

void QtView::CloseForm() {
  if (window_) window_->close();
}

QTreeWidgetItem* QtView::ItemOf(forms::NodeId node) const {
  const auto it = items_.find(node);
  return it == items_.end() ? nullptr : it->second;
}

forms::NodeId QtView::NodeOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kNodeIdRole).toUInt() : forms::kNoNode;
}

}  // namespace app

// The main window in Qt: builds the designed controls under their designed
// names and places, forwards their events to the toolkit-free form
// (forms::FrmMain) and shows what the form says through a QtView.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "QtView.h"
#include "forms/FrmMain.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace app {

class ContactDetailView;

class FrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit FrmMain(QWidget* parent = nullptr);
  ~FrmMain() override;

  // What the other windows plug in. Each runs modally with this window as
  // owner; until one is set its command does nothing.
  std::function<void(FrmMain&)> showConversionDialog;  // FrmConversion
  std::function<void(FrmMain&)> showHelpContents;      // the help file
  std::function<void(FrmMain&)> showAbout;             // AboutFrm

  // The commands, as the buttons and menu entries run them.
  void CmdBrowse_Click() { form_.CmdBrowse_Click(); }
  void CmdEnumerateNotes_Click() { form_.CmdEnumerateNotes_Click(); }
  void CmdContactsCreate_Click() { form_.CmdContactsCreate_Click(); }
  void ContactsTreeView_NodeClick(QTreeWidgetItem* node) { form_.ContactsTreeView_NodeClick(QtView::NodeOf(node)); }
  void PopulateDefaultTree() { form_.PopulateDefaultTree(); }
  void OpenBook(const QString& path) { form_.OpenBook(path.toStdString()); }

  forms::FrmMain& Form() { return form_; }
  scan::TreeModel& Tree() { return form_.Tree(); }
  // The tree item that draws a node of the model, and the node an item draws.
  QTreeWidgetItem* ItemOf(const scan::ModelNode* node) const;
  const scan::ModelNode* NodeOf(const QTreeWidgetItem* item) const;
  QTreeWidget* TreeView() const { return ContactsTreeView_; }
  // The text of the file box as it stands: the exports read the book it names.
  QString NotesDatabaseFile() const { return QString::fromStdString(form_.BookPath()); }

 private:
  void BuildControls();
  void BuildMenus();

  QtView view_;
  forms::FrmMain form_;
  QTreeWidget* ContactsTreeView_ = nullptr;
  ContactDetailView* detail_ = nullptr;
};

}  // namespace app

// The main window: choose an address book, scan it into the contact tree,
// look at one contact at a time, and open the export dialog.
#pragma once

#include <QMainWindow>
#include <QProgressBar>
#include <functional>
#include <memory>
#include <vector>

#include "scan/ContactTree.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace automation {
class AddressBookReader;
}
namespace wab {
struct Book;
}

namespace app {

class ContactDetailView;

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

class FrmMain : public QMainWindow {
  Q_OBJECT
 public:
  inline static const QString kCaption = QStringLiteral("Vantrel Addrivo v1.0 Build 1508");
  inline static const QString kMessageTitle = QStringLiteral("Vantrel Software");
  inline static const QString kWebAddress = QStringLiteral("www.vantrel.example");
  inline static const QString kFileFilter = QStringLiteral("Windows Address Book (*.wab)");

  explicit FrmMain(QWidget* parent = nullptr);
  ~FrmMain() override;

  // What the other windows plug in. Each runs modally with this window as
  // owner; until one is set its command does nothing.
  std::function<void(FrmMain&)> showConversionDialog;  // FrmConversion
  std::function<void(FrmMain&)> showHelpContents;      // the help file
  std::function<void(FrmMain&)> showAbout;             // AboutFrm

  // The commands, as the buttons and menu entries run them.
  void Form_Load();
  void CmdBrowse_Click();
  void txtNotesDatabaseFile_Change();
  void CmdEnumerateNotes_Click();
  void CmdContactsCreate_Click();
  void ContactsTreeView_NodeClick(QTreeWidgetItem* node);
  void mnuContents_Click();
  void mnuAbout_Click();
  void mnuExit_Click();
  // View > Show deleted contacts: the deleted contacts the book still holds
  // appear in the tree, marked, or disappear again.
  void mnuShowDeleted_Click();

  // "addrivo BOOK.wab": the book is chosen as Browse chooses one and scanned
  // at once; a missing or unreadable file gets the scan's usual message.
  void OpenBook(const QString& path);

  // Builds the tree's skeleton: the root, "A" to "Z" and "Other".
  void PopulateDefaultTree();

  scan::ContactTree& Tree() { return *tree_; }
  // The text of the file box as it stands: the exports read the book it names.
  QString NotesDatabaseFile() const;

 private:
  void BuildControls();
  void BuildMenus();
  // Tells the user why a command failed, naming the file where there is one.
  void ReportFailure(const QString& text);
  void RunHook(const std::function<void(FrmMain&)>& hook);
  // The whole-book model beside the designed scan: reads the book again
  // into the model, ties the scanned nodes to its contacts, adds the groups
  // and the (hidden) deleted contacts, and returns the completion message.
  QString AttachWholeBook(const QString& path, automation::AddressBookReader* reader, std::int32_t contacts,
                          std::int32_t damaged);
  void ForgetWholeBook();
  // Shows the model's contact or group behind a node; false when it has none.
  bool ShowModelNode(QTreeWidgetItem* node);
  // Puts a chosen book in the file box with a fresh tree, ready to scan.
  void ChooseBook(const QString& path);

  QLineEdit* txtNotesDatabaseFile_ = nullptr;
  QPushButton* CmdBrowse_ = nullptr;
  QPushButton* CmdEnumerateNotes_ = nullptr;
  QPushButton* CmdContactsCreate_ = nullptr;
  QTreeWidget* ContactsTreeView_ = nullptr;
  QLabel* LblRead_ = nullptr;
  ScanProgressBar* ProgBarScanNotes_ = nullptr;
  ContactDetailView* detail_ = nullptr;
  QAction* mnuOpen_ = nullptr;
  QAction* mnuScan_ = nullptr;
  QAction* mnuSave_ = nullptr;
  QAction* mnuExit_ = nullptr;
  QAction* mnuContents_ = nullptr;
  QAction* mnuAbout_ = nullptr;
  QAction* mnuShowDeleted_ = nullptr;
  QVector<QIcon> smallIcons_;
  std::unique_ptr<scan::ContactTree> tree_;
  std::shared_ptr<const wab::Book> book_;       // the scanned book's whole model, when it could be read
  std::vector<QTreeWidgetItem*> scannedNodes_;  // contact nodes in scan order, until the model is attached
  std::vector<QTreeWidgetItem*> deletedNodes_;
};

}  // namespace app

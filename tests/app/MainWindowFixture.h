// The real main window, headless, with scripted dialogs and a recording fake
// reader registered as "warjo.wab".
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <memory>

#include "FakeAddressBook.h"
#include "app/ContactDetailView.h"
#include "app/FrmMain.h"
#include "support/qt/ScriptedDialogs.h"

namespace testsupport {

// The availability of every command and the state of the reading row.
struct WindowState {
  bool scanButton, scanMenu, saveButton, saveMenu, readLabelShown, barShown;
  int barValue, nodes;
  QString file;
  bool operator==(const WindowState&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const WindowState& s) {
  return os << "{scanBtn " << s.scanButton << ", mnuScan " << s.scanMenu << ", saveBtn " << s.saveButton
            << ", mnuSave " << s.saveMenu << ", LblRead " << s.readLabelShown << ", bar " << s.barShown << " @"
            << s.barValue << ", nodes " << s.nodes << ", file '" << s.file.toStdString() << "'}";
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<app::FrmMain>();
    window->show();
  }

  template <class T = QWidget>
  T* Control(const char* name) const {
    T* c = window->findChild<T*>(QLatin1String(name));
    if (!c) ADD_FAILURE() << "no control " << name;
    return c;
  }
  QAction* Menu(const char* name) const { return Control<QAction>(name); }
  QPushButton* Button(const char* name) const { return Control<QPushButton>(name); }
  QLineEdit* FileBox() const { return Control<QLineEdit>("txtNotesDatabaseFile"); }
  QTreeWidget* TreeView() const { return Control<QTreeWidget>("ContactsTreeView"); }
  app::ScanProgressBar* Bar() const { return Control<app::ScanProgressBar>("ProgBarScanNotes"); }
  QString BoxText(const char* name) const { return app::ContactDetailView::BoxText(Control(name)); }

  WindowState State() const {
    return {Button("CmdEnumerateNotes")->isEnabled(),
            Menu("mnuScan")->isEnabled(),
            Button("CmdContactsCreate")->isEnabled(),
            Menu("mnuSave")->isEnabled(),
            !Control("LblRead")->isHidden(),
            !Bar()->isHidden(),
            Bar()->value(),
            static_cast<int>(window->Tree().NodeCount()),
            FileBox()->text()};
  }

  void Browse(const QString& answer) {
    dialogs.openFileAnswers.push_back(answer);
    Button("CmdBrowse")->click();
  }
  void Scan() { window->CmdEnumerateNotes_Click(); }
  void BrowseAndScan(const QString& path = QStringLiteral("/books/family.wab")) {
    Browse(path);
    Button("CmdEnumerateNotes")->click();
  }

  // The record the model keeps for the node an item draws.
  QString Record(const QTreeWidgetItem* item) const {
    const scan::ModelNode* node = window->NodeOf(item);
    return node ? QString::fromStdString(node->record) : QString();
  }
  // The item that draws the node with that key.
  QTreeWidgetItem* Item(const char* key) const { return window->ItemOf(window->Tree().FindNode(key)); }

  // Every contact node, in tree order.
  std::vector<QTreeWidgetItem*> ContactNodes() const {
    std::vector<QTreeWidgetItem*> nodes;
    for (QTreeWidgetItemIterator it(TreeView()); *it; ++it)
      if (!Record(*it).isEmpty()) nodes.push_back(*it);
    return nodes;
  }
  QTreeWidgetItem* ContactNamed(const QString& text) const {
    for (QTreeWidgetItem* node : ContactNodes())
      if (node->text(0) == text) return node;
    ADD_FAILURE() << "no contact node " << text.toStdString();
    return nullptr;
  }
  void Click(QTreeWidgetItem* node) { emit TreeView()->itemClicked(node, 0); }

  static FakeAddressBook::Contact Person(const std::string& first, const std::string& middle = {},
                                         const std::string& last = {}) {
    return {{"Name", first}, {"MiddleName", middle}, {"Surname", last}};
  }
  // Every one of the 20 fields filled with its own key, prefixed.
  static FakeAddressBook::Contact Full(const std::string& prefix) {
    FakeAddressBook::Contact c;
    for (std::string_view key : automation::kReaderFieldKeys) c[std::string(key)] = prefix + std::string(key);
    return c;
  }

  ScriptedDialogs dialogs;
  FakeReaderRegistration fake;
  std::unique_ptr<app::FrmMain> window;
};

}  // namespace testsupport

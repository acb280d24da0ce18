// Test-only tool: scans an address book into the main window and saves a
// picture of the window with one contact shown.
//   addrivo_screenshot OUT.png            a generated book (fake reader)
//   addrivo_screenshot OUT.png BOOK.wab   a real book (needs the real reader)
#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "FakeAddressBook.h"
#include "app/FrmMain.h"
#include "support/qt/ScriptedDialogs.h"
#ifdef ADDRIVO_HAVE_WAB
#include "platform/wab/WabReader.h"
#endif

namespace {

// A small book of made-up people, every field of the first one filled.
std::shared_ptr<testsupport::FakeAddressBook> GeneratedBook() {
  auto book = std::make_shared<testsupport::FakeAddressBook>();
  book->record = false;
  const char* people[][3] = {
      {"Margaret", "A.", "Hollis"}, {"Andrew", "", "Baxter"},   {"Beatrice", "", "Cole"},    {"Carlos", "", "Mendes"},
      {"\xC3\x89lodie", "", "Martin"}, {"David", "J.", "Okafor"}, {"Emma", "", "Lindqvist"},   {"Frank", "", "Novak"},
      {"Grace", "", "Tanaka"},      {"Henry", "", "Walsh"},     {"isabel", "", "Ruiz"},      {"Jonas", "", "Berg"},
      {"Mark", "", "Hollis"},       {"Maria", "", "Santos"},    {"Mike", "", "Chen"},        {"Nora", "", "Fischer"},
      {"Oliver", "", "Grant"},      {"Sophie", "", "Laurent"},  {"3M Support", "", ""},      {"\xE5\xA4\xAA\xE9\x83\x8E", "", "\xE6\x9E\x9A\xE5\xB2\xA1"},
  };
  for (auto& p : people) book->contacts.push_back({{"Name", p[0]}, {"MiddleName", p[1]}, {"Surname", p[2]}});
  auto& first = book->contacts[0];
  first["HomeEmail"] = "margaret.hollis@example.org";
  first["CompanyName"] = "Hollis & Baxter Ltd.";
  first["BusinessAddress"] = "12 Quay Street\r\nSuite 4";
  first["City"] = "Bristol";
  first["Postal"] = "BS1 4DJ";
  first["Province"] = "Avon";
  first["Country"] = "United Kingdom";
  first["OfficeLocation"] = "Floor 2";
  first["CompanyURL"] = "http://example.org/hollis";
  first["Department"] = "Accounts";
  first["BusinessPhone"] = "+44 117 496 0000";
  first["BusinessFax"] = "+44 117 496 0001";
  first["CellPhone"] = "+44 7700 900123";
  first["HomeAddress"] = "3 Elm Row";
  first["HomePhone"] = "+44 117 496 0100";
  first["Fax"] = "";
  first["Comment"] = "Met at the 2006 trade fair.";
  return book;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: addrivo_screenshot OUT.png [BOOK.wab]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  QString bookPath = QStringLiteral("/home/margaret/Documents/Address Book.WAB");
  std::unique_ptr<automation::ScopedRegistration> fake;
  if (argc == 3) {
#ifdef ADDRIVO_HAVE_WAB
    wab::RegisterComponent();
    bookPath = QString::fromLocal8Bit(argv[2]);
#else
    std::fprintf(stderr, "addrivo_screenshot: built without the address-book reader\n");
    return 2;
#endif
  } else {
    fake = std::make_unique<automation::ScopedRegistration>(automation::kAddressBookReaderProgId,
                                                            automation::SameObject(GeneratedBook()));
  }

  testsupport::ScriptedDialogs dialogs;
  dialogs.openFileAnswers.push_back(bookPath);
  app::FrmMain window;
  window.show();
  window.CmdBrowse_Click();
  window.CmdEnumerateNotes_Click();
  for (const auto& m : dialogs.messages) std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
  if (dialogs.messages.empty() ||
      !dialogs.messages.back().text.startsWith(QStringLiteral("Windows Address Book Scan Completed")))
    return 1;

  // Open the groups that hold contacts and show the contact with the most to show.
  QTreeWidgetItem* shown = nullptr;
  QTreeWidgetItem* root = window.ItemOf(window.Tree().FindNode(scan::kRootKey));
  auto recordSize = [&](const QTreeWidgetItem* item) {
    const scan::ModelNode* node = window.NodeOf(item);
    return node ? node->record.size() : 0;
  };
  for (int i = 0; root && i < root->childCount(); ++i) {
    QTreeWidgetItem* group = root->child(i);
    if (group->childCount() == 0) continue;
    group->setExpanded(true);
    for (int c = 0; c < group->childCount(); ++c)
      if (!shown || recordSize(group->child(c)) > recordSize(shown))
        shown = group->child(c);
  }
  if (shown) {
    window.TreeView()->setCurrentItem(shown);
    window.TreeView()->scrollToItem(shown);
    window.ContactsTreeView_NodeClick(shown);
  }
  int status = 1;
  QTimer::singleShot(300, [&] {
    status = window.grab().save(out) ? 0 : 1;
    app.quit();
  });
  app.exec();
  if (status == 0) std::fprintf(stderr, "saved %s\n", qPrintable(out));
  return status;
}

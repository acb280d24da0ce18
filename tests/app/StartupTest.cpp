// What the program does at start: "addrivo BOOK.wab" chooses and scans the
// book with the real reader (or shows the scan's usual failure and stays
// usable), and the default size shows every tab caption of the detail view.
#include <QApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

using testsupport::MainWindowTest;

namespace {

enum class Given { Book, Missing, Folder, NotABook };

struct StartRow {
  const char* name;
  Given given;
  int contacts;
  const char* message;  // how the one message starts; "%1" is the path
};

const StartRow kStartRows[] = {
    {"Book", Given::Book, 7, "Windows Address Book Scan Completed"},
    {"Missing", Given::Missing, 0, "The address book \"%1\" could not be read."},
    {"Folder", Given::Folder, 0, "The address book \"%1\" could not be read."},
    {"NotABook", Given::NotABook, 0, automation::kNotAnAddressBook},
};

void PrintTo(const StartRow& row, std::ostream* os) { *os << row.name; }

class OpenBookAtStart : public MainWindowTest, public ::testing::WithParamInterface<StartRow> {};

TEST_P(OpenBookAtStart, ScansAtOnceOrShowsTheScansFailureAndStaysUsable) {
  const StartRow& row = GetParam();
  wab::RegisterComponent();  // the real "warjo.wab" in place of the fixture's fake
  testsupport::TempDir dir;
  const auto path = dir / "book.wab";
  switch (row.given) {
    case Given::Book: testsupport::WriteGeneratedBook(path, 7); break;
    case Given::Missing: break;
    case Given::Folder: std::filesystem::create_directory(path); break;
    case Given::NotABook: testsupport::WriteFile(path, "BEGIN:VCARD\r\nEND:VCARD\r\n"); break;
  }
  const QString book = QString::fromStdString(path.string());

  window->OpenBook(book);
  EXPECT_EQ(FileBox()->text(), book);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].text.startsWith(QString::fromUtf8(row.message).arg(book)))
      << dialogs.messages[0].text.toStdString();
  EXPECT_EQ(ContactNodes().size(), static_cast<std::size_t>(row.contacts));
  const bool scanned = row.given == Given::Book;
  EXPECT_EQ(Button("CmdContactsCreate")->isEnabled(), scanned);
  EXPECT_EQ(Button("CmdEnumerateNotes")->isEnabled(), !scanned) << "a failed book can be scanned again";
  EXPECT_TRUE(Button("CmdBrowse")->isEnabled());

  // Still usable: another book chosen the usual way scans.
  const auto other = dir / "other.wab";
  testsupport::WriteGeneratedBook(other, 3);
  BrowseAndScan(QString::fromStdString(other.string()));
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_TRUE(dialogs.messages[1].text.startsWith(QStringLiteral("Windows Address Book Scan Completed")));
  EXPECT_EQ(ContactNodes().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Given, OpenBookAtStart, ::testing::ValuesIn(kStartRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, EveryTabCaptionOfTheDetailViewIsWholeAtTheDefaultSize) {
  auto* tabs = Control<QTabWidget>("OsenXPTab1");
  ASSERT_TRUE(tabs);
  QTabBar* bar = tabs->tabBar();
  ASSERT_EQ(bar->count(), 4);
  for (int i = 0; i < bar->count(); ++i) {
    SCOPED_TRACE(bar->tabText(i).toStdString());
    const QRect tab = bar->tabRect(i);
    EXPECT_TRUE(bar->rect().contains(tab)) << "tab " << tab.x() << "+" << tab.width() << " in " << bar->width();
    EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i)));
  }
  for (QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible());

  // Extra width still goes to the tree and the detail view.
  const int treeWidth = TreeView()->width(), tabsWidth = tabs->width();
  window->resize(window->width() + 300, window->height());
  QApplication::processEvents();
  EXPECT_GT(TreeView()->width(), treeWidth);
  EXPECT_GT(tabs->width(), tabsWidth);
}

}  // namespace

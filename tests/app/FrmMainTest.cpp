#include <QMenu>
#include <QRegularExpression>
#include <algorithm>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

#include "MainWindowFixture.h"
#include "scan/ContactRecord.h"
#include "forms/ProgressCounter.h"

using testsupport::FakeAddressBook;
using testsupport::MainWindowTest;
using testsupport::WindowState;

namespace {
const QString kTitle = QStringLiteral("Vantrel Software");
const QString kCompleted = QStringLiteral("Windows Address Book Scan Completed");
}  // namespace

// --- The window as it starts --------------------------------------------------

TEST_F(MainWindowTest, StartsWithCaptionsFontsAndOnlyBrowseExitHelpAvailable) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantrel Addrivo v1.0 Build 1508"));
  EXPECT_EQ(Control<QLabel>("Label3")->text(), QStringLiteral("Select Windows Address Book File (.wab)"));
  EXPECT_TRUE(Control<QLabel>("Label3")->font().bold());
  EXPECT_EQ(Control<QLabel>("Label3")->font().family(), QStringLiteral("Verdana"));
  EXPECT_DOUBLE_EQ(FileBox()->font().pointSizeF(), 8.25);
  EXPECT_EQ(FileBox()->font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(Button("CmdBrowse")->text(), QStringLiteral("&Browse..."));
  EXPECT_EQ(Button("CmdEnumerateNotes")->text(), QStringLiteral("Scan &Contacts"));
  EXPECT_EQ(Button("CmdContactsCreate")->text(), QStringLiteral("&Save Contacts"));
  EXPECT_EQ(TreeView()->headerItem()->text(0), QStringLiteral("Windows Address Book Contacts"));
  EXPECT_EQ(Control<QGroupBox>("OsenXPFrame1")->title(), QStringLiteral("Contact Details"));
  auto* lblRead = Control<QLabel>("LblRead");
  EXPECT_EQ(lblRead->text(), QStringLiteral("Reading Contacts"));
  EXPECT_TRUE(lblRead->font().bold());
  EXPECT_EQ(lblRead->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  auto* status = Control<QStatusBar>("OsenXPStatusBar1");
  EXPECT_EQ(status->findChild<QLabel*>("OsenXPStatusBar1Panel1")->text(), QStringLiteral("Vantrel Software"));
  EXPECT_TRUE(status->findChild<QLabel*>("OsenXPStatusBar1Panel1")->font().bold());
  EXPECT_FALSE(status->findChild<QLabel*>("OsenXPStatusBar1Panel2")->text().isEmpty());

  // Menus: captions, order, separator.
  QList<QAction*> top = window->menuBar()->actions();
  ASSERT_EQ(top.size(), 3);
  EXPECT_EQ(top[0]->text(), QStringLiteral("File"));
  EXPECT_EQ(top[1]->text(), QStringLiteral("View"));
  EXPECT_EQ(top[2]->text(), QStringLiteral("Help"));
  QStringList fileEntries;
  for (QAction* a : top[0]->menu()->actions()) fileEntries << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(fileEntries, (QStringList{"Open Windows Address Book File...", "Scan Contacts", "Save Contacts...", "-",
                                      "Exit"}));
  EXPECT_EQ(top[0]->menu()->objectName(), QStringLiteral("mnuFile"));
  EXPECT_EQ(top[1]->menu()->objectName(), QStringLiteral("mnuView"));
  EXPECT_EQ(top[2]->menu()->objectName(), QStringLiteral("mnuHelp"));
  EXPECT_EQ(Menu("mnuShowDeleted")->text(), QStringLiteral("Show deleted contacts"));
  EXPECT_TRUE(Menu("mnuShowDeleted")->isCheckable());
  EXPECT_FALSE(Menu("mnuShowDeleted")->isChecked());
  EXPECT_EQ(Menu("mnuContents")->text(), QStringLiteral("Contents..."));
  EXPECT_EQ(Menu("mnuAbout")->text(), QStringLiteral("About..."));

  // Availability right after load.
  EXPECT_EQ(State(), (WindowState{false, false, false, false, false, false, 0, 28, QString()}));
  EXPECT_TRUE(Button("CmdBrowse")->isEnabled());
  EXPECT_TRUE(Menu("mnuOpen")->isEnabled());
  EXPECT_TRUE(Menu("mnuExit")->isEnabled());
  EXPECT_TRUE(Menu("mnuContents")->isEnabled());
  EXPECT_TRUE(Menu("mnuAbout")->isEnabled());
  EXPECT_TRUE(FileBox()->isEnabled());
  EXPECT_FALSE(FileBox()->isReadOnly());
  EXPECT_EQ(ProgressCounter, 1);
}

TEST_F(MainWindowTest, DetailViewStartsEmptyWithThePictureHiddenOnTheFirstTab) {
  EXPECT_TRUE(Control("ImgContact")->isHidden());
  EXPECT_TRUE(Control<QLabel>("LblTopName")->text().isEmpty());
  auto* tabs = Control<QTabWidget>("OsenXPTab1");
  ASSERT_EQ(tabs->count(), 4);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(tabs->tabText(0), QStringLiteral("Business Address"));
  EXPECT_EQ(tabs->tabText(1), QStringLiteral("Business Contact Information"));
  EXPECT_EQ(tabs->tabText(2), QStringLiteral("Personal"));
  EXPECT_EQ(tabs->tabText(3), QStringLiteral("Briefcase"));
  for (const char* name : forms::ContactDetailView::MappedBoxNames()) EXPECT_TRUE(BoxText(name).isEmpty()) << name;
  for (const char* name : forms::ContactDetailView::UnfilledBoxNames()) EXPECT_TRUE(BoxText(name).isEmpty()) << name;
  auto* email = Control<QLineEdit>("txtEmail");
  EXPECT_EQ(email->palette().color(QPalette::Base), QColor(255, 255, 128));
  EXPECT_EQ(email->palette().color(QPalette::Text), QColor(0, 0, 255));
  auto* top = Control<QLabel>("LblTopName");
  EXPECT_EQ(top->font().family(), QStringLiteral("Trebuchet MS"));
  EXPECT_DOUBLE_EQ(top->font().pointSizeF(), 11.25);
  EXPECT_TRUE(top->font().bold());
}

// --- Browse and the file box ----------------------------------------------------

TEST_F(MainWindowTest, BrowseChoosingAFileShowsItAndMakesOnlyTheScanAvailable) {
  Browse(QStringLiteral("/home/ann/Mail/Family.WAB"));  // upper-case extension is taken as it is
  ASSERT_EQ(dialogs.openFileFilters.size(), 1);
  EXPECT_EQ(dialogs.openFileFilters[0], QStringLiteral("Windows Address Book (*.wab)"));
  EXPECT_EQ(State(), (WindowState{true, true, false, false, true, true, 0, 28,
                                  QStringLiteral("/home/ann/Mail/Family.WAB")}));
  // The menu entry opens the same dialog.
  dialogs.openFileAnswers.push_back(QStringLiteral("/x/y.wab"));
  Menu("mnuOpen")->trigger();
  EXPECT_EQ(dialogs.openFileFilters.size(), 2);
  EXPECT_EQ(FileBox()->text(), QStringLiteral("/x/y.wab"));
}

TEST_F(MainWindowTest, BrowseCancelledAtStartChangesNothingButTheScanButton) {
  FileBox()->setText(QStringLiteral("typed.wab"));
  Browse(QString());
  EXPECT_EQ(State(), (WindowState{false, false, false, false, false, false, 0, 28, QString()}));
}

TEST_F(MainWindowTest, BrowseCancelledAfterAScanEmptiesTreeAndBoxButKeepsTheMenuEntries) {
  fake.reader->contacts = {Person("Ann"), Person("Bob")};
  BrowseAndScan();
  ASSERT_EQ(window->Tree().NodeCount(), 30u);
  Browse(QString());
  // Label and bar stay hidden as the scan left them; the bar is back at 0.
  EXPECT_EQ(State(), (WindowState{false, true, false, true, false, false, 0, 28, QString()}));
}

TEST_F(MainWindowTest, BrowseChoosingAFileAfterAScanDropsContactsAndTheExportButtonOnly) {
  fake.reader->contacts = {Person("Ann")};
  BrowseAndScan();
  Browse(QStringLiteral("/books/other.wab"));
  EXPECT_EQ(State(), (WindowState{true, true, false, true, true, true, 0, 28, QStringLiteral("/books/other.wab")}));
}

TEST_F(MainWindowTest, TypingEnablesTheScanButtonOnlyAndClearingDisablesIt) {
  const WindowState before = State();
  FileBox()->setText(QStringLiteral("/books/typed.wab"));
  WindowState expected = before;
  expected.scanButton = true;
  expected.file = QStringLiteral("/books/typed.wab");
  EXPECT_EQ(State(), expected);
  FileBox()->clear();
  EXPECT_EQ(State(), before);
}

TEST_F(MainWindowTest, BrowseFailureIsReportedAndChangesNothing) {
  fake.reader->contacts = {Person("Ann")};
  BrowseAndScan();
  const WindowState before = State();
  struct ThrowingDialogs : testsupport::ScriptedDialogs {
    std::string GetOpenFileName(dialogs::Owner, const std::string&, const std::string&) override {
      throw std::runtime_error("the file dialog is not available");
    }
  } throwing;  // installed from here on
  Button("CmdBrowse")->click();
  EXPECT_EQ(State(), before);
  ASSERT_FALSE(throwing.messages.empty());
  EXPECT_EQ(throwing.messages.back().title, kTitle);
  EXPECT_EQ(throwing.messages.back().icon, dialogs::MessageIcon::Information);
  EXPECT_TRUE(throwing.messages.back().text.contains(QStringLiteral("the file dialog is not available")));
}

// --- The scan ------------------------------------------------------------------------

TEST_F(MainWindowTest, ScanCallsTheReaderInOrderAndAdvancesTheBarOncePerContact) {
  fake.reader->contacts = {Person("Ann"), Person("Bob"), Person("Cy")};
  FileBox()->setText(QStringLiteral("  /books/three.wab  "));
  std::vector<int> positions;
  // Each position is set once its contact's node and record are in place.
  QObject::connect(Bar(), &QProgressBar::valueChanged, [&](int v) {
    positions.push_back(v);
    EXPECT_EQ(ContactNodes().size(), static_cast<std::size_t>(v));
  });
  // The export entry is available before the first contact is read.
  bool saveEnabledAtFirstSelect = false;
  fake.reader->beforeCall = [&](const std::string& call) {
    if (call == "Select:0") saveEnabledAtFirstSelect = Menu("mnuSave")->isEnabled();
  };
  Button("CmdEnumerateNotes")->click();

  std::vector<std::string> expected{"Open:/books/three.wab", "GetCount"};
  for (int i = 0; i < 3; ++i) {
    expected.push_back("Select:" + std::to_string(i));
    for (const char* key : {"Name", "MiddleName", "Surname", "HomeEmail", "CompanyName", "BusinessAddress", "City",
                            "Postal", "Province", "Country", "OfficeLocation", "CompanyURL", "Department",
                            "BusinessPhone", "BusinessFax", "HomeAddress", "Country", "HomePhone", "Fax",
                            "CellPhone", "Comment"})
      expected.push_back(std::string("GetValue:") + key);
  }
  EXPECT_EQ(fake.reader->calls, expected);
  EXPECT_EQ(positions, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Bar()->minimum(), 0);
  EXPECT_EQ(Bar()->maximum(), 3);
  EXPECT_EQ(Bar()->LargeChange(), 0);
  EXPECT_DOUBLE_EQ(Bar()->Scale(), 0.03);
  EXPECT_EQ(ProgressCounter, 4);
  EXPECT_TRUE(saveEnabledAtFirstSelect);

  ASSERT_EQ(dialogs.messages.size(), 1u);
  // Without a book the whole-book model can read, the counts come from the reader.
  EXPECT_EQ(dialogs.messages[0].text, kCompleted + QStringLiteral("\n\n3 contacts, 0 damaged records skipped."));
  EXPECT_EQ(dialogs.messages[0].title, kTitle);
  EXPECT_EQ(dialogs.messages[0].icon, dialogs::MessageIcon::Information);
  // Completed: export available, scan button off, label and bar hidden; the
  // menu entry never saw a Browse and stays unavailable.
  EXPECT_EQ(State(), (WindowState{false, false, true, true, false, false, 3, 31,
                                  QStringLiteral("  /books/three.wab  ")}));
}

TEST_F(MainWindowTest, EmptyBookCompletesWithNoContactsAndTheExportAvailable) {
  BrowseAndScan();
  // An empty bar, not Qt's "busy" animation of a 0..0 range.
  EXPECT_EQ(Bar()->maximum(), 1);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Bar()->LargeChange(), 0);
  EXPECT_DOUBLE_EQ(Bar()->Scale(), 0.0);
  EXPECT_EQ(ProgressCounter, 1);
  EXPECT_TRUE(ContactNodes().empty());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].text.startsWith(kCompleted)) << dialogs.messages[0].text.toStdString();
  EXPECT_EQ(State(), (WindowState{false, true, true, true, false, false, 0, 28, QStringLiteral("/books/family.wab")}));
}

TEST_F(MainWindowTest, DamagedRecordsTheReaderSkippedAreNamedInTheCompletion) {
  fake.reader->contacts = {Person("Ann"), Person("Bob")};
  for (const auto& [skipped, line] : {std::pair{1, "\n\n2 contacts, 1 damaged record skipped."},
                                      std::pair{3, "\n\n2 contacts, 3 damaged records skipped."}}) {
    dialogs.messages.clear();
    fake.reader->skipped = skipped;
    BrowseAndScan();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, kCompleted + QString::fromLatin1(line));
  }
}

TEST_F(MainWindowTest, ContactsJoinTheGroupOfTheirInitialUnderTrimmedNames) {
  fake.reader->contacts = {Person("Zed"),        Person("  Bob "), Person(""),           Person("   "),
                           Person("\xC3\xA9mile"),  // émile
                           Person("zoe"),        Person("1st"),    Person("\xE5\xA4\xAA\xE9\x83\x8E"),  // 太郎
                           Person("#x"),         Person("\xCE\xA9mega")};                               // Ωmega
  BrowseAndScan();
  ASSERT_EQ(ContactNodes().size(), 10u);
  struct Expect {
    QString text, group;
  } expected[] = {{"Zed", "Z"},      {"Bob", "B"},     {"", "Other"},    {"", "Other"},
                  {"émile", "E"},    {"zoe", "Z"},     {"1st", "Other"}, {QString::fromUtf8("太郎"), "Other"},
                  {"#x", "Other"},   {"Ωmega", "Other"}};
  // Contacts come in scan order within their groups; match them by record.
  int i = 0;
  for (const FakeAddressBook::Contact& c : fake.reader->contacts) {
    const QString name = QString::fromStdString(c.at("Name"));
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItem* node : ContactNodes())
      if (scan::SplitRecord(Record(node).toStdString())[0] == name.toStdString()) found = node;
    ASSERT_NE(found, nullptr) << name.toStdString();
    EXPECT_EQ(found->text(0), expected[i].text) << i;
    EXPECT_EQ(found->parent()->text(0), expected[i].group) << i;
    EXPECT_EQ(window->NodeOf(found)->shown.image, 3);
    ++i;
  }
  // The first key starts with index 0, the tenth with 9; date and time follow.
  std::vector<QString> keys;
  for (QTreeWidgetItem* node : ContactNodes()) keys.push_back(QString::fromStdString(window->NodeOf(node)->key));
  EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [](const QString& k) {
    return QRegularExpression(QStringLiteral("^9\\d{1,2}-\\d{1,2}-\\d\\d-\\d\\d-\\d\\d-\\d\\d$")).match(k).hasMatch();
  }));
}

TEST_F(MainWindowTest, RecordsKeepEveryValueAsReadIncludingBarsAndSpaces) {
  FakeAddressBook::Contact c = Full("v");
  c["Name"] = " Ann ";
  c["Department"] = "R|D";
  c["Comment"] = "a|b|c";
  fake.reader->contacts = {c};
  BrowseAndScan();
  ASSERT_EQ(ContactNodes().size(), 1u);
  const std::vector<std::string> parts = scan::SplitRecord(Record(ContactNodes()[0]).toStdString());
  ASSERT_EQ(parts.size(), 21u);
  EXPECT_EQ(parts[0], " Ann ");
  EXPECT_EQ(parts[12], "R|D");
  EXPECT_EQ(parts[13], "vBusinessPhone");  // not shifted by the bar before it
  EXPECT_EQ(parts[20], "a|b|c");
  EXPECT_EQ(parts[9], parts[17]);
  EXPECT_EQ(ContactNodes()[0]->text(0), QStringLiteral("Ann"));
}

TEST_F(MainWindowTest, ScanAgainFromTheMenuAddsEveryContactASecondTime) {
  fake.reader->contacts = {Person("Ann"), Person("Bob")};
  BrowseAndScan();
  ASSERT_FALSE(Button("CmdEnumerateNotes")->isEnabled());
  ASSERT_TRUE(Menu("mnuScan")->isEnabled());
  Menu("mnuScan")->trigger();  // runs although the button is unavailable
  EXPECT_EQ(ContactNodes().size(), 4u);
  EXPECT_EQ(ProgressCounter, 3);
  EXPECT_EQ(dialogs.messages.size(), 2u);
  // Every copy, first or second, still shows its own contact.
  for (QTreeWidgetItem* node : ContactNodes()) {
    Click(node);
    EXPECT_EQ(BoxText("txtFirstName"), node->text(0));
  }
}

TEST_F(MainWindowTest, ScanOfTheLargestBooksCompletesAndFillsTheBar) {
  constexpr std::int32_t kCount = 40000;  // past 32,767, where a 16-bit counter overflows
  fake.reader->record = false;
  fake.reader->generatedCount = kCount;
  fake.reader->value = [](std::int32_t i, const std::string& key) {
    return key == "Name" ? "Person " + std::to_string(i) : std::string();
  };
  int last = -1;
  QObject::connect(Bar(), &QProgressBar::valueChanged, [&](int v) { last = v; });
  BrowseAndScan();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].text.startsWith(kCompleted)) << dialogs.messages[0].text.toStdString();
  EXPECT_EQ(Bar()->maximum(), kCount);
  EXPECT_EQ(last, kCount);
  EXPECT_EQ(ProgressCounter, kCount + 1);
  EXPECT_EQ(Item("P")->childCount(), kCount);
  EXPECT_EQ(Bar()->LargeChange(), 400);
}

// --- Failures of the scan --------------------------------------------------------------

class ScanFailureTest : public MainWindowTest {
 protected:
  // Browses to a file, then runs the scan with the reader failing at `failAt`.
  void ScanFailingAt(const std::string& failAt, const std::string& message) {
    fake.reader->contacts = {Person("Ann"), Person("Bob"), Person("Cy"), Person("Di")};
    Browse(QStringLiteral("/books/broken.wab"));
    before = State();
    fake.reader->beforeCall = [=](const std::string& call) {
      if (call == failAt) throw automation::AutomationError(message);
    };
    Button("CmdEnumerateNotes")->click();
  }
  void ExpectOneMessage(const QString& text) {
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, text);
    EXPECT_EQ(dialogs.messages[0].title, kTitle);
    EXPECT_EQ(dialogs.messages[0].icon, dialogs::MessageIcon::Information);
  }
  WindowState before{};
};

TEST_F(ScanFailureTest, NotAnAddressBookIsToldInItsOwnWordsAndTheWindowStaysAsItWas) {
  ProgressCounter = 7;  // a failure before the loop leaves the counter alone
  ScanFailingAt("Open:/books/broken.wab", automation::kNotAnAddressBook);
  EXPECT_EQ(ProgressCounter, 7);
  ExpectOneMessage(QStringLiteral("NOT a Correct Windows Address Book File."));
  EXPECT_EQ(State(), before);
  EXPECT_EQ(Bar()->maximum(), 100);
}

TEST_F(ScanFailureTest, OtherOpenFailureNamesTheFileAndTheCause) {
  ScanFailingAt("Open:/books/broken.wab", "No such file or directory");
  ExpectOneMessage(QStringLiteral("The address book \"/books/broken.wab\" could not be read.\nNo such file or directory"));
  EXPECT_EQ(State(), before);
}

TEST_F(ScanFailureTest, FailureMidScanKeepsTheContactsAlreadyAddedAndRestoresTheWindow) {
  ScanFailingAt("Select:2", "record 2 is damaged");
  ExpectOneMessage(QStringLiteral("The address book \"/books/broken.wab\" could not be read.\nrecord 2 is damaged"));
  WindowState expected = before;
  expected.nodes = 30;  // Ann and Bob stay
  EXPECT_EQ(State(), expected);
  ASSERT_EQ(ContactNodes().size(), 2u);
  EXPECT_EQ(ProgressCounter, 3);
  // The window keeps working: the next scan runs to its end.
  fake.reader->beforeCall = nullptr;
  Button("CmdEnumerateNotes")->click();
  EXPECT_EQ(ContactNodes().size(), 6u);
  EXPECT_TRUE(dialogs.messages.back().text.startsWith(kCompleted));
}

TEST_F(ScanFailureTest, FailureReadingAFieldEndsTheScanLikeAnyOther) {
  ScanFailingAt("GetValue:Comment", "read error");
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(State(), before);
  EXPECT_TRUE(ContactNodes().empty());
}

TEST_F(MainWindowTest, MissingReaderComponentIsReportedWithTheFile) {
  automation::ScopedRegistration none(automation::kAddressBookReaderProgId, {});
  automation::Registry::Instance().Unregister(automation::kAddressBookReaderProgId);
  Browse(QStringLiteral("/books/a.wab"));
  const WindowState before = State();
  Button("CmdEnumerateNotes")->click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("The address book \"/books/a.wab\" could not be read.")));
  EXPECT_EQ(dialogs.messages[0].title, kTitle);
  EXPECT_EQ(State(), before);
}

// --- Export, help, about, exit --------------------------------------------------------------

TEST_F(MainWindowTest, ExportButtonAndMenuEntryOpenTheSameDialogOwnedByTheWindowAndChangeNothing) {
  std::vector<app::FrmMain*> owners;
  window->showConversionDialog = [&](app::FrmMain& owner) { owners.push_back(&owner); };
  fake.reader->contacts = {Person("Ann")};
  BrowseAndScan();
  const WindowState before = State();
  Button("CmdContactsCreate")->click();
  Menu("mnuSave")->trigger();
  EXPECT_EQ(owners, (std::vector<app::FrmMain*>{window.get(), window.get()}));
  EXPECT_EQ(window->NotesDatabaseFile(), QStringLiteral("/books/family.wab"));
  EXPECT_EQ(State(), before);
  // After a new Browse only the menu entry still offers the export.
  Browse(QStringLiteral("/books/b.wab"));
  Button("CmdContactsCreate")->click();
  Menu("mnuSave")->trigger();
  EXPECT_EQ(owners.size(), 3u);
}

TEST_F(MainWindowTest, CommandsWithoutTheirWindowDoNothingAndFailuresOfOneAreReported) {
  window->CmdContactsCreate_Click();
  Menu("mnuContents")->trigger();
  Menu("mnuAbout")->trigger();
  EXPECT_TRUE(dialogs.messages.empty());
  int help = 0, about = 0;
  window->showHelpContents = [&](app::FrmMain&) { ++help; };
  window->showAbout = [&](app::FrmMain&) { ++about; };
  Menu("mnuContents")->trigger();
  Menu("mnuAbout")->trigger();
  EXPECT_EQ(help, 1);
  EXPECT_EQ(about, 1);
  window->showHelpContents = [](app::FrmMain&) { throw std::runtime_error("Help.chm is missing"); };
  Menu("mnuContents")->trigger();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Help.chm is missing"));
  EXPECT_EQ(dialogs.messages[0].title, kTitle);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
  ASSERT_TRUE(window->isVisible());
  Menu("mnuExit")->trigger();
  EXPECT_FALSE(window->isVisible());
}

// End to end with the real reader: the real address book scanned into the
// window, contacts clicked, every box checked.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QTreeWidgetItemIterator>

#include "MainWindowFixture.h"
#include "forms/ProgressCounter.h"
#include "support/TestData.h"
#include "platform/wab/WabReader.h"

using testsupport::MainWindowTest;

namespace {
// Multi-line boxes show CR LF as a line break and hand back LF.
QString AsShown(const char* box, const QString& value) {
  if (QByteArray(box) == "txtBusinessStreet" || QByteArray(box) == "txtComments")
    return QString(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return value;
}
}  // namespace

TEST_F(MainWindowTest, RealBookScansItsFourContactsAndShowsEveryField) {
  wab::RegisterComponent();  // the real "warjo.wab" in place of the fixture's fake
  const QString book = QString::fromStdString(testsupport::TestDataPath("wab/HiraokaTaro.WAB").string());
  BrowseAndScan(book);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  ASSERT_EQ(dialogs.messages[0].text,
            QStringLiteral("Windows Address Book Scan Completed\n\n4 contacts, 2 groups, 0 damaged records skipped.\n"
                           "3 deleted contacts can be shown with View > Show deleted contacts."));

  // Four contacts, every initial outside A-Z: all under "Other".
  QStringList names;
  for (QTreeWidgetItem* node : ContactNodes()) {
    names << node->text(0);
    EXPECT_EQ(node->parent()->text(0), QStringLiteral("Other"));
  }
  names.sort();
  QStringList expected{QString::fromUtf8("太郎"), QString::fromUtf8("①"), QStringLiteral("3"),
                       QString::fromUtf8("Ⅱ")};
  expected.sort();
  EXPECT_EQ(names, expected);
  EXPECT_EQ(ProgressCounter, 5);
  EXPECT_EQ(Bar()->maximum(), 4);

  Click(ContactNamed(QString::fromUtf8("太郎")));
  EXPECT_EQ(Control<QLabel>("LblTopName")->text(), QString::fromUtf8("太郎 枚岡"));
  const char* values[21] = {"太郎",
                            "",
                            "枚岡",
                            "test@example.com",
                            "会社名",
                            "勤務：番地",
                            "勤務：市区町村",
                            "勤務：郵便",
                            "勤務：都道府県",
                            "勤務：国",
                            "勤務：オフィス",
                            "http://example.org/corp",
                            "勤務：部署",
                            "勤務：TEL",
                            "勤務：FAX",
                            "PHONE",
                            "番地",
                            "国",  // the home country, no longer the business one
                            "TEL",
                            "FAX",
                            "追加情報\r\nその他\r\nメモ"};
  for (int i = 0; i < 21; ++i) {
    const char* box = forms::ContactDetailView::MappedBoxNames()[i];
    EXPECT_EQ(BoxText(box), AsShown(box, QString::fromUtf8(values[i]))) << box;
  }

  struct Other {
    const char *first, *last;
  } others[] = {{"①", "フォルダ"}, {"3", "Folder"}, {"Ⅱ", "フォルダ"}};
  for (const Other& o : others) {
    Click(ContactNamed(QString::fromUtf8(o.first)));
    EXPECT_EQ(BoxText("txtFirstName"), QString::fromUtf8(o.first));
    EXPECT_EQ(BoxText("txtLastName"), QString::fromUtf8(o.last));
    EXPECT_EQ(Control<QLabel>("LblTopName")->text(), QString::fromUtf8(o.first) + u' ' + QString::fromUtf8(o.last));
  }
}

TEST_F(MainWindowTest, RealBookShowsTheWholeContactItsGroupsAndDeletedContactsOnRequest) {
  wab::RegisterComponent();
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  BrowseAndScan(QString::fromStdString(testsupport::TestDataPath("wab/HiraokaTaro.WAB").string()));

  // Every box the designed view left empty is filled for the main contact.
  Click(ContactNamed(QString::fromUtf8("太郎")));
  const std::pair<const char*, const char*> filled[] = {
      {"txtJobTitle", "勤務：役職"},    {"txtBusinessPager", "勤務：phone"}, {"txtBusinessIPPhone", "勤務：IPphone"},
      {"txtHomeCity", "市区町村"},      {"txtHomeState", "都道府県"},        {"txtHomeZip", "郵便"},
      {"txtSpouse", "配偶者"},          {"txtHomeCellPhone", "PHONE"},       {"txtBirthday", "9/29/14"},
      {"txtAnniversary", "9/30/14"},
      {"txtChildren", "子供の名前5, 子供の名前4, 子供の名前3, 子供の名前2, 子供の名前1"}};
  static_assert(std::size(filled) == 11);
  for (const auto& [box, value] : filled) EXPECT_EQ(BoxText(box), QString::fromUtf8(value)) << box;
  for (const char* box : forms::ContactDetailView::UnfilledBoxNames()) EXPECT_FALSE(BoxText(box).isEmpty()) << box;
  EXPECT_EQ(BoxText("txtHomeCountry"), QString::fromUtf8("国"));
  EXPECT_EQ(BoxText("txtEmail"), QStringLiteral("test@example.com"));
  auto* emails = Control<QListWidget>("lstEmails");
  EXPECT_FALSE(emails->isHidden());
  QStringList shown;
  for (int i = 0; i < emails->count(); ++i) shown << emails->item(i)->text();
  EXPECT_EQ(shown, (QStringList{"test@example.org", "test@example.net", "test@example.com  (default)",
                                "im@example.org"}));
  EXPECT_EQ(Control<QLabel>("lblContactPlace")->text(), QString::fromUtf8("Folder: メイン ユーザー の連絡先"));
  Click(ContactNamed(QString::fromUtf8("①")));
  EXPECT_TRUE(Control("lstEmails")->isHidden());
  EXPECT_TRUE(BoxText("txtJobTitle").isEmpty()) << "nothing of the contact before stays";
  EXPECT_EQ(Control<QLabel>("lblContactPlace")->text(),
            QString::fromUtf8("Folder: フォルダ①    Groups: <\"123\">, Gr1"));

  // Groups under "Groups" after "Other"; a click shows the members.
  QTreeWidgetItem* root = TreeView()->topLevelItem(0);
  ASSERT_EQ(root->childCount(), 28);
  EXPECT_EQ(root->child(26)->text(0), QStringLiteral("Other"));
  QTreeWidgetItem* groups = root->child(27);
  EXPECT_EQ(groups->text(0), QStringLiteral("Groups"));
  ASSERT_EQ(groups->childCount(), 2);
  EXPECT_EQ(groups->child(0)->text(0), QStringLiteral("<\"123\">"));
  Click(groups->child(0));
  EXPECT_EQ(Control<QLabel>("LblTopName")->text(), QStringLiteral("<\"123\">"));
  EXPECT_EQ(BoxText("txtHomePhone"), QStringLiteral("Gr:tel"));
  auto* members = Control<QListWidget>("lstGroupMembers");
  EXPECT_FALSE(members->isHidden());
  ASSERT_EQ(members->count(), 3);
  EXPECT_EQ(members->item(0)->text(), QStringLiteral("Folder 3"));
  EXPECT_EQ(members->item(2)->text(), QString::fromUtf8("フォルダ ①"));

  // Deleted contacts only on request, marked.
  auto deletedShown = [&] {
    QStringList names;
    for (QTreeWidgetItemIterator it(TreeView()); *it; ++it)
      if ((*it)->text(0).endsWith(QStringLiteral(" (deleted)")) && !(*it)->isHidden()) names << (*it)->text(0);
    names.sort();
    return names;
  };
  auto* showDeleted = window->findChild<QAction*>(QStringLiteral("mnuShowDeleted"));
  ASSERT_NE(showDeleted, nullptr);
  EXPECT_FALSE(showDeleted->isChecked());
  EXPECT_TRUE(deletedShown().isEmpty());
  showDeleted->trigger();
  EXPECT_EQ(deletedShown(), (QStringList{"2 (deleted)", "3 (deleted)", "34 (deleted)"}));
  QTreeWidgetItem* deleted = nullptr;
  for (QTreeWidgetItemIterator it(TreeView()); *it; ++it)
    if ((*it)->text(0) == QStringLiteral("34 (deleted)")) deleted = *it;
  ASSERT_NE(deleted, nullptr);
  Click(deleted);
  EXPECT_EQ(BoxText("txtLastName"), QStringLiteral("Folder"));
  EXPECT_TRUE(Control<QLabel>("lblContactPlace")->text().startsWith(QStringLiteral("Deleted contact")));
  showDeleted->trigger();
  EXPECT_TRUE(deletedShown().isEmpty());
}

TEST_F(MainWindowTest, RealReaderRefusesAFileThatIsNotAnAddressBook) {
  wab::RegisterComponent();
  testsupport::TempDir dir;
  const QString path = QString::fromStdString((dir.path() / "notes.wab").string());
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
  }
  Browse(path);
  const testsupport::WindowState before = State();
  Button("CmdEnumerateNotes")->click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("NOT a Correct Windows Address Book File."));
  EXPECT_EQ(State(), before);
}

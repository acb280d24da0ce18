// End to end with the real reader: the real address book scanned into the
// window, contacts clicked, every box checked.
#include <QFile>

#include "MainWindowFixture.h"
#include "scan/ProgressCounter.h"
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
  ASSERT_EQ(dialogs.messages[0].text, QStringLiteral("Windows Address Book Scan Completed"));

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
                            "勤務：国",
                            "TEL",
                            "FAX",
                            "追加情報\r\nその他\r\nメモ"};
  for (int i = 0; i < 21; ++i) {
    const char* box = app::ContactDetailView::MappedBoxNames()[i];
    EXPECT_EQ(BoxText(box), AsShown(box, QString::fromUtf8(values[i]))) << box;
  }
  for (const char* box : app::ContactDetailView::UnfilledBoxNames()) EXPECT_TRUE(BoxText(box).isEmpty()) << box;

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

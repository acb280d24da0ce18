// The help viewer as the program opens it: HtmlHelpA with the built Help.chm,
// with a missing one and with damaged ones. Runs headless.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QTreeWidget>
#include <sys/stat.h>

#include "support/TestData.h"
#include "platform/help/HelpViewer.h"
#include "platform/help/HtmlHelp.h"

using help::ChmFile;
using help::ChmStatus;
using help::HelpBrowser;
using help::HelpViewer;
using help::HtmlHelpA;

namespace {

const QString kHelp = QStringLiteral(ADDRIVO_HELP_FILE);

class HtmlHelpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "html_help_test";
    static char* argv[] = {name, nullptr};
    // Headless whatever the environment says: these windows never need a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void TearDown() override {
    HtmlHelpA(nullptr, QString(), help::HH_CLOSE_ALL, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  HelpViewer* Open(const QString& path, QWidget* owner = nullptr) {
    QWidget* w = HtmlHelpA(owner, path, help::HH_DISPLAY_TOPIC, 1);
    auto* viewer = qobject_cast<HelpViewer*>(w);
    EXPECT_TRUE(viewer);
    return viewer;
  }
  static HelpBrowser* Browser(HelpViewer* v) { return v->findChild<HelpBrowser*>(QStringLiteral("HelpBrowser")); }
  static QString Shown(HelpViewer* v) { return Browser(v)->toPlainText(); }
  static QStringList TopLevel(QTreeWidget* tree) {
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) names << tree->topLevelItem(i)->text(0);
    return names;
  }
  static QTreeWidgetItem* Find(QTreeWidget* tree, const QString& name) {
    const auto found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
};

}  // namespace

TEST_F(HtmlHelpTest, OpensTheDefaultTopicWithContentsAndIndex) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->isVisible());
  EXPECT_TRUE(v->HasFile());
  EXPECT_EQ(v->windowTitle(), QStringLiteral("Addrivo Help"));
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/index.html")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("Getting started with Addrivo")));
  EXPECT_FALSE(Shown(v).contains(QStringLiteral("<h1>")));  // rendered, not shown as source

  auto* contents = v->findChild<QTreeWidget*>(QStringLiteral("HelpContents"));
  ASSERT_TRUE(contents);
  EXPECT_EQ(TopLevel(contents),
            (QStringList{"Getting started", "Working with an address book", "Saving the contacts",
                         "Messages and what to do about them"}));
  QTreeWidgetItem* saving = contents->topLevelItem(2);
  ASSERT_EQ(saving->childCount(), 4);
  EXPECT_EQ(saving->child(0)->text(0), QStringLiteral("Exporting to Excel"));
  EXPECT_EQ(saving->child(1)->text(0), QStringLiteral("Exporting to Outlook"));
  EXPECT_EQ(saving->child(2)->text(0), QStringLiteral("vCard, CSV and Excel Workbook (.xlsx)"));
  EXPECT_EQ(saving->child(3)->text(0), QStringLiteral("Uploading to a contacts server (CardDAV)"));
  EXPECT_TRUE(saving->isExpanded());
  // The page shown is marked in the contents.
  ASSERT_TRUE(contents->currentItem());
  EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("Getting started"));

  auto* index = v->findChild<QTreeWidget*>(QStringLiteral("HelpIndex"));
  ASSERT_TRUE(index);
  EXPECT_GE(index->topLevelItemCount(), 20);
  EXPECT_TRUE(Find(index, QStringLiteral("NOT a Correct Windows Address Book File.")));
}

TEST_F(HtmlHelpTest, ImagesAndStyleComeOutOfTheHelpFile) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  HelpBrowser* b = Browser(v);
  const QVariant image = b->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm:/images/banner.png")));
  QImage banner;
  ASSERT_TRUE(banner.loadFromData(image.toByteArray()));
  EXPECT_EQ(banner.size(), QSize(360, 59));
  // The document of the start page really holds the picture.
  const QVariant inDocument =
      b->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("chm:/images/banner.png")));
  EXPECT_TRUE(inDocument.isValid());
  EXPECT_TRUE(b->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("chm:/style.css")))
                  .toString()
                  .contains(QStringLiteral("font-family")));
  // Nothing outside the help file is read, whatever a page asks for: an
  // empty answer, which also stops the document from looking elsewhere.
  EXPECT_TRUE(b->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(kHelp)).toByteArray().isEmpty());
  EXPECT_TRUE(
      b->loadResource(QTextDocument::HtmlResource, QUrl(QStringLiteral("http://example.com/"))).toByteArray().isEmpty());
}

TEST_F(HtmlHelpTest, LinksAreFollowedInsideTheFile) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  HelpBrowser* b = Browser(v);
  auto* contents = v->findChild<QTreeWidget*>(QStringLiteral("HelpContents"));

  emit b->anchorClicked(QUrl(QStringLiteral("scanning.html")));
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/scanning.html")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("Choosing and scanning an address book")));
  EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("Choosing and scanning an address book"));

  // A link with a place on another page.
  emit b->anchorClicked(QUrl(QStringLiteral("messages.html#not-a-wab")));
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/messages.html#not-a-wab")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("NOT a Correct Windows Address Book File.")));

  // The address forms other help files use for their own pages.
  emit b->anchorClicked(QUrl(QStringLiteral("ms-its:Help.chm::/contacts.html")));
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/contacts.html")));

  // Back and forward walk the pages seen.
  b->backward();
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/messages.html#not-a-wab")));
  b->forward();
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/contacts.html")));

  // A link to a page the file lacks says so in the window.
  emit b->anchorClicked(QUrl(QStringLiteral("gone.html")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("Page not found")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("/gone.html")));
}

TEST_F(HtmlHelpTest, LinksOutOfTheFileAreNotOpened) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  for (const char* out : {"http://www.example.com/", "mailto:someone@example.com", "file:///etc/passwd"}) {
    SCOPED_TRACE(out);
    emit Browser(v)->anchorClicked(QUrl(QString::fromLatin1(out)));
    EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/index.html")));
    EXPECT_TRUE(v->statusBar()->currentMessage().contains(QStringLiteral("not opened")));
  }
}

TEST_F(HtmlHelpTest, ContentsAndIndexOpenTheirPages) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  auto* contents = v->findChild<QTreeWidget*>(QStringLiteral("HelpContents"));
  auto* index = v->findChild<QTreeWidget*>(QStringLiteral("HelpIndex"));
  QTreeWidgetItem* outlook = Find(contents, QStringLiteral("Exporting to Outlook"));
  ASSERT_TRUE(outlook);
  emit contents->itemClicked(outlook, 0);
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/export-outlook.html")));
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("ANSI or Unicode format")));

  QTreeWidgetItem* rows = Find(index, QStringLiteral("16,384 rows"));
  ASSERT_TRUE(rows);
  emit index->itemActivated(rows, 0);
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/export-excel.html#limits")));

  // A heading without a page of its own changes nothing.
  QTreeWidgetItem* heading = Find(contents, QStringLiteral("Saving the contacts"));
  ASSERT_TRUE(heading);
  emit contents->itemClicked(heading, 0);
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/export-excel.html#limits")));
}

TEST_F(HtmlHelpTest, SearchListsThePagesHoldingEveryWord) {
  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  auto* results = v->findChild<QListWidget*>(QStringLiteral("HelpSearchResults"));
  ASSERT_TRUE(results);
  auto titles = [results] {
    QStringList t;
    for (int i = 0; i < results->count(); ++i) t << results->item(i)->text();
    return t;
  };
  // The program's own misspelt messages are found where they are explained.
  EXPECT_GE(v->Search(QStringLiteral("VAILD profile")), 1);
  EXPECT_TRUE(titles().contains(QStringLiteral("Messages and what to do about them")));
  EXPECT_EQ(v->Search(QStringLiteral("16,384 code page")), 1);
  EXPECT_EQ(titles(), QStringList{QStringLiteral("Exporting to Excel")});
  // Every word must be on the page; markup is not text.
  EXPECT_EQ(v->Search(QStringLiteral("16,384 Unicode Briefcase")), 0);
  EXPECT_EQ(v->Search(QStringLiteral("class=")), 0);
  EXPECT_EQ(v->Search(QStringLiteral("   ")), 0);
  EXPECT_TRUE(results->count() == 0);

  v->Search(QStringLiteral("Briefcase"));
  ASSERT_EQ(results->count(), 1);
  emit results->itemClicked(results->item(0));
  EXPECT_EQ(v->CurrentPage(), QUrl(QStringLiteral("chm:/contacts.html")));
}

TEST_F(HtmlHelpTest, SecondCallReusesTheWindowAndATopicCanBeNamed) {
  QWidget owner;
  HelpViewer* first = Open(kHelp, &owner);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->parentWidget(), &owner);
  EXPECT_TRUE(first->isWindow());
  emit Browser(first)->anchorClicked(QUrl(QStringLiteral("contacts.html")));

  HelpViewer* again = Open(kHelp + QStringLiteral("::/export-excel.html"), &owner);
  EXPECT_EQ(again, first);
  EXPECT_EQ(again->CurrentPage(), QUrl(QStringLiteral("chm:/export-excel.html")));
  EXPECT_FALSE(Browser(again)->isBackwardAvailable());

  // A topic the file lacks falls back to the start page.
  Open(kHelp + QStringLiteral("::/nothing.html"), &owner);
  EXPECT_EQ(again->CurrentPage(), QUrl(QStringLiteral("chm:/index.html")));

  // The table of contents and index commands open the same window.
  EXPECT_EQ(HtmlHelpA(&owner, kHelp, help::HH_DISPLAY_INDEX, 0), first);
  EXPECT_EQ(HtmlHelpA(&owner, kHelp, help::HH_DISPLAY_TOC, 0), first);
  EXPECT_EQ(HtmlHelpA(&owner, kHelp, 0x7777, 0), nullptr);

  HtmlHelpA(nullptr, QString(), help::HH_CLOSE_ALL, 0);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(owner.findChildren<HelpViewer*>().isEmpty());
}

TEST_F(HtmlHelpTest, MissingFileIsReportedInTheWindowAndTheOwnerStaysUsable) {
  testsupport::TempDir dir;
  QWidget owner;
  auto* button = new QPushButton(QStringLiteral("Scan"), &owner);
  owner.show();
  const QString missing = QString::fromStdString((dir / "Help.chm").string());
  HelpViewer* v = Open(missing, &owner);
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->isVisible());
  EXPECT_FALSE(v->HasFile());
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("The help file could not be found.")));
  EXPECT_TRUE(Shown(v).contains(missing));
  EXPECT_TRUE(v->CurrentPage().isEmpty());
  // The viewer is no modal dialog: the program goes on.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(owner.isEnabled());
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  button->click();
  EXPECT_EQ(clicks, 1);
  // Links and the Home button do nothing without a file.
  emit Browser(v)->anchorClicked(QUrl(QStringLiteral("index.html")));
  EXPECT_TRUE(v->CurrentPage().isEmpty());
  EXPECT_EQ(v->Search(QStringLiteral("Addrivo")), 0);
  auto* home = v->findChild<QAction*>(QStringLiteral("HelpHome"));
  ASSERT_TRUE(home);
  EXPECT_FALSE(home->isEnabled());

  // Once the file is there, asking again shows it in the same window.
  std::filesystem::copy_file(ADDRIVO_HELP_FILE, dir / "Help.chm");
  EXPECT_EQ(HtmlHelpA(&owner, missing.toStdString(), help::HH_DISPLAY_TOPIC, 1), v);
  EXPECT_TRUE(v->HasFile());
  EXPECT_TRUE(home->isEnabled());
  EXPECT_TRUE(Shown(v).contains(QStringLiteral("Getting started with Addrivo")));
}

TEST_F(HtmlHelpTest, DamagedFilesAreReportedInTheWindow) {
  testsupport::TempDir dir;
  const std::string chm = testsupport::ReadFile(ADDRIVO_HELP_FILE);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"not a help file", "<html>just a page</html>"},
      {"cut short", chm.substr(0, chm.size() / 3)},
      {"compressed pages overwritten", chm.substr(0, chm.size() / 5) + std::string(chm.size() - chm.size() / 5, '\x5a')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / (std::string(c.name) + ".chm");
    testsupport::WriteFile(path, c.bytes);
    HelpViewer* v = Open(QString::fromStdString(path.string()));
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->isVisible());
    const QString shown = Shown(v);
    // Either the file is refused outright, or whatever still reads is shown
    // and the rest is reported page by page; never a blank window.
    if (!v->HasFile()) {
      EXPECT_TRUE(shown.contains(QStringLiteral("The help file cannot be opened."))) << shown.toStdString();
      EXPECT_TRUE(shown.contains(QStringLiteral("damaged")));
    } else {
      // Pages that still read are shown; the others say the file is damaged.
      ASSERT_FALSE(shown.trimmed().isEmpty());
      ChmStatus status;
      const auto file = ChmFile::Open(path.string(), &status);
      ASSERT_TRUE(file);
      int damaged = 0;
      for (const char* page : {"index.html", "scanning.html", "contacts.html", "export-excel.html",
                               "export-outlook.html", "export-other.html", "carddav.html", "messages.html"}) {
        emit Browser(v)->anchorClicked(QUrl(QString::fromLatin1(page)));
        const QString text = Shown(v);
        if (file->Read(page)) {
          EXPECT_FALSE(text.contains(QStringLiteral("Page damaged"))) << page;
        } else {
          ++damaged;
          EXPECT_TRUE(text.contains(QStringLiteral("Page damaged"))) << page;
        }
      }
      EXPECT_GT(damaged, 0) << "the damage was meant to reach the pages";
    }
  }
}

// Every document the viewer makes takes resources from the help file alone:
// a page of a damaged or hostile help file that names a local file, a FIFO
// or /dev/zero gets nothing (once they were read, hung the viewer or ended
// it). Checked through the documents themselves, as the rich text engine
// asks them, for the page shown and for the pages read for searching.
TEST_F(HtmlHelpTest, DocumentsServeOnlyObjectsOfTheHelpFile) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "secret.css", "p { color: red } SECRET");
  const std::string fifo = (dir / "fifo.css").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const QString secret = QString::fromStdString((dir / "secret.css").string());
  const QList<QUrl> outside{
      QUrl::fromLocalFile(secret),
      QUrl(secret),  // a bare absolute path
      QUrl(QStringLiteral("secret.css")),
      QUrl::fromLocalFile(QString::fromStdString(fifo)),
      QUrl::fromLocalFile(QStringLiteral("/dev/zero")),
      QUrl(QStringLiteral("qrc:/secret.css")),
  };

  HelpViewer* v = Open(kHelp);
  ASSERT_TRUE(v);
  ChmStatus status;
  const auto file = ChmFile::Open(kHelp.toStdString(), &status);
  ASSERT_TRUE(file);
  help::HelpDocument searched(file.get());  // as the search tab makes them
  searched.setBaseUrl(QUrl::fromLocalFile(QString::fromStdString(dir.path().string()) + QStringLiteral("/")));
  searched.setHtml(QStringLiteral("<link rel=\"stylesheet\" href=\"%1\"><p>text</p>").arg(secret));

  for (QTextDocument* doc : {Browser(v)->document(), static_cast<QTextDocument*>(&searched)}) {
    for (const QUrl& url : outside) {
      for (int type : {QTextDocument::HtmlResource, QTextDocument::ImageResource, QTextDocument::StyleSheetResource}) {
        SCOPED_TRACE(url.toString().toStdString() + " type " + std::to_string(type));
        const QVariant got = doc->resource(type, url);
        EXPECT_FALSE(got.toByteArray().contains("SECRET"));
        EXPECT_FALSE(got.toString().contains(QStringLiteral("SECRET")));
      }
    }
  }
  // What is in the help file still comes out of it.
  EXPECT_TRUE(Browser(v)->document()->resource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("chm:/style.css")))
                  .toString()
                  .contains(QStringLiteral("{")));

  // And the help file itself is opened only when it is a regular file.
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path().string()}) {
    EXPECT_FALSE(ChmFile::Open(path, &status)) << path;
    EXPECT_EQ(status, ChmStatus::NotFound) << path;
  }
}

// The about box and the Help menu's "Contents..." command, run headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>
#include <functional>

#include "app/AboutFrm.h"
#include "app/HelpContents.h"
#include "platform/help/HelpViewer.h"
#include "platform/help/HtmlHelp.h"

namespace {

struct Snapshot {
  QString title, version, address, ok;
  QSize size;
  QImage banner;
  QList<QRect> geometries;
  bool operator==(const Snapshot&) const = default;
};

class AboutFrmTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "about_frm_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void TearDown() override {
    help::HtmlHelpA(nullptr, QString(), help::HH_CLOSE_ALL, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Runs check while the box is up (from inside its modal loop), then
  // returns once ShowModal has. A box that never closes is closed after a
  // while so a fault fails the test instead of hanging it.
  static void WhileShown(QWidget* owner, const std::function<void(AboutFrm*)>& check) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      auto* box = qobject_cast<AboutFrm*>(QApplication::activeModalWidget());
      if (box) {
        check(box);
        return;
      }
      ADD_FAILURE() << "no modal about box";
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* shown = qobject_cast<AboutFrm*>(w)) shown->close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* shown = qobject_cast<AboutFrm*>(w); shown && shown->isVisible()) {
          ADD_FAILURE() << "the about box did not close";
          shown->close();
        }
      }
    });
    guard.start(5000);
    AboutFrm::ShowModal(owner);
    EXPECT_TRUE(ran);
  }

  static Snapshot Take(AboutFrm* box) {
    Snapshot s;
    s.title = box->windowTitle();
    s.version = box->findChild<QLabel*>(QStringLiteral("Label2"))->text();
    s.address = box->findChild<QLabel*>(QStringLiteral("Label3"))->text();
    s.ok = box->findChild<QPushButton*>(QStringLiteral("CmdOK"))->text();
    s.size = box->size();
    s.banner = box->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().toImage();
    for (QWidget* w : box->findChildren<QWidget*>()) s.geometries << w->geometry();
    return s;
  }

  static void ClickOk(AboutFrm* box) {
    QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("CmdOK")), Qt::LeftButton);
  }
};

}  // namespace

TEST_F(AboutFrmTest, ShowsItsCaptionsOnWhite) {
  QMainWindow owner;
  owner.show();
  WhileShown(&owner, [](AboutFrm* box) {
    EXPECT_EQ(box->objectName(), QStringLiteral("AboutFrm"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About Addrivo"));
    auto* version = box->findChild<QLabel*>(QStringLiteral("Label2"));
    auto* address = box->findChild<QLabel*>(QStringLiteral("Label3"));
    auto* ok = box->findChild<QPushButton*>(QStringLiteral("CmdOK"));
    auto* banner = box->findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_TRUE(version && address && ok && banner);
    EXPECT_EQ(version->text(), QStringLiteral("v1.0 Build 1508"));
    EXPECT_EQ(address->text(), QString::fromLatin1(kProductWebAddress));
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_FALSE(version->font().bold());
    EXPECT_TRUE(address->font().bold());
    EXPECT_DOUBLE_EQ(version->font().pointSizeF(), 8.25);
    EXPECT_DOUBLE_EQ(address->font().pointSizeF(), 8.25);

    // The banner across the top; the labels in one column on the left, the
    // version above the address; OK below them.
    EXPECT_EQ(banner->pixmap().size(), QSize(360, 59));
    EXPECT_EQ(banner->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(version->x(), address->x());
    EXPECT_LT(version->y(), address->y());
    EXPECT_GE(version->y(), banner->geometry().bottom());
    EXPECT_GT(ok->y(), address->y());
    EXPECT_LT(version->x(), box->width() / 2);
    EXPECT_GE(box->width(), 360);

    // White below the banner, between the labels and the button.
    const QImage shot = box->grab().toImage();
    const QPoint blank(box->width() - 4, version->y());
    EXPECT_EQ(QColor(shot.pixel(blank)), QColor(Qt::white));
    ClickOk(box);
  });
}

TEST_F(AboutFrmTest, IsModalOverItsOwnerAndOkUnloadsIt) {
  QMainWindow owner;
  auto* button = new QPushButton(QStringLiteral("&Browse..."), &owner);
  owner.setCentralWidget(button);
  owner.resize(400, 300);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  const QPoint centre = button->mapTo(&owner, button->rect().center());

  WhileShown(&owner, [&](AboutFrm* box) {
    EXPECT_TRUE(box->isModal());
    EXPECT_EQ(box->parentWidget(), &owner);
    EXPECT_TRUE(box->isVisible());
    // A click on the main window goes nowhere while the box is up.
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(clicks, 0);
    ClickOk(box);
  });
  // ShowModal returned: the box is gone, not merely hidden.
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(owner.findChildren<AboutFrm*>().isEmpty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, centre);
  EXPECT_EQ(clicks, 1);
}

TEST_F(AboutFrmTest, ReopensUnchangedAndClosingByTheWindowAlsoUnloads) {
  QMainWindow owner;
  owner.show();
  Snapshot first, second;
  AboutFrm* first_box = nullptr;
  WhileShown(&owner, [&](AboutFrm* box) {
    first = Take(box);
    first_box = box;
    ClickOk(box);
  });
  WhileShown(&owner, [&](AboutFrm* box) {
    second = Take(box);
    box->close();  // the title bar's close button, or Esc
  });
  EXPECT_TRUE(first == second);
  EXPECT_NE(first_box, nullptr);
  EXPECT_TRUE(owner.findChildren<AboutFrm*>().isEmpty());
  // Opening it a third time after closing it differently still works.
  WhileShown(&owner, [&](AboutFrm* box) {
    EXPECT_TRUE(Take(box) == first);
    QTest::keyClick(box, Qt::Key_Escape);
  });
}

TEST_F(AboutFrmTest, TheWebAddressIsPlainText) {
  QMainWindow owner;
  owner.show();
  WhileShown(&owner, [](AboutFrm* box) {
    auto* address = box->findChild<QLabel*>(QStringLiteral("Label3"));
    EXPECT_EQ(address->textFormat(), Qt::PlainText);
    EXPECT_FALSE(address->openExternalLinks());
    EXPECT_EQ(address->textInteractionFlags(), Qt::NoTextInteraction);
    int activated = 0;
    QObject::connect(address, &QLabel::linkActivated, [&] { ++activated; });
    QTest::mouseClick(address, Qt::LeftButton);
    EXPECT_EQ(activated, 0);
    EXPECT_TRUE(box->isVisible());  // a click on the address does not close the box either
    ClickOk(box);
  });
}

TEST_F(AboutFrmTest, ContentsOpensHelpChmBesideTheProgram) {
  // Tests run from the program's folder, where the build puts Help.chm.
  EXPECT_EQ(HelpFilePath(), QCoreApplication::applicationDirPath() + QStringLiteral("/Help.chm"));
  ASSERT_TRUE(QFile::exists(HelpFilePath())) << HelpFilePath().toStdString();

  QMainWindow owner;
  owner.show();
  ShowHelpContents(&owner);
  auto* viewer = owner.findChild<help::HelpViewer*>();
  ASSERT_TRUE(viewer);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->FilePath(), HelpFilePath());
  EXPECT_EQ(viewer->CurrentPage(), QUrl(QStringLiteral("chm:/index.html")));
  EXPECT_TRUE(viewer->findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("Getting started")));
  // The main window stays usable beside the help.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(owner.isEnabled());

  // Choosing it again brings the same window back.
  ShowHelpContents(&owner);
  EXPECT_EQ(owner.findChildren<help::HelpViewer*>().size(), 1);
}

// The open dialog Browse uses offers address books whatever the case of
// their extension, under the filter text "Windows Address Book (*.wab)".
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTimer>

#include "app/FrmMain.h"
#include "platform/dialogs/Dialogs.h"
#include "support/TestData.h"

TEST(OpenDialogTest, ListsAndReturnsAnUpperCaseWabUnderTheLowerCaseFilter) {
  testsupport::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  for (const char* name : {"BOOK.WAB", "other.Wab", "notes.txt"}) {
    QFile f(folder + u'/' + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QString previous = QDir::currentPath();
  QDir::setCurrent(folder);

  QStringList listed;
  int waited = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    listed.clear();
    for (int r = 0; list && r < list->model()->rowCount(list->rootIndex()); ++r)
      listed << list->model()->index(r, 0, list->rootIndex()).data().toString();
    if (listed.contains(QStringLiteral("BOOK.WAB"))) {
      dialog->selectFile(QStringLiteral("BOOK.WAB"));
      QMetaObject::invokeMethod(dialog, "accept");
    } else if (++waited > 100) {
      dialog->reject();
    }
  });
  poll.start(50);
  dialogs::QtDialogs qt;
  const QString chosen = qt.GetOpenFileName(nullptr, QString(), app::FrmMain::kFileFilter);
  poll.stop();
  QDir::setCurrent(previous);

  listed.sort();
  EXPECT_EQ(listed, (QStringList{"BOOK.WAB", "other.Wab"}));
  EXPECT_EQ(QFileInfo(chosen).fileName(), QStringLiteral("BOOK.WAB"));
}

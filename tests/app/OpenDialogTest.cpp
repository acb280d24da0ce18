// The open dialog Browse uses offers address books whatever the case of
// their extension, under the filter text "Windows Address Book (*.wab)".
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListView>

#include "app/FrmMain.h"
#include "support/TestData.h"

TEST(OpenDialogTest, ListsUpperAndMixedCaseWabUnderTheLowerCaseFilter) {
  testsupport::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  for (const char* name : {"BOOK.WAB", "other.Wab", "plain.wab", "notes.txt"}) {
    QFile f(folder + u'/' + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }

  // The same dialog QtDialogs::GetOpenFileName shows: Qt's own, not a native one.
  QFileDialog dialog(nullptr, QString(), folder, QString::fromLatin1(forms::FrmMain::kFileFilter));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.show();

  auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
  ASSERT_NE(list, nullptr);
  QStringList listed;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 10000) {  // the file system model fills in the background
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    listed.clear();
    const QModelIndex root = list->rootIndex();
    for (int r = 0; r < list->model()->rowCount(root); ++r)
      listed << list->model()->index(r, 0, root).data().toString();
    if (listed.size() >= 3) break;
  }
  dialog.hide();

  listed.sort();
  EXPECT_EQ(listed, (QStringList{"BOOK.WAB", "other.Wab", "plain.wab"}));
}

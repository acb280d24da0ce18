#include "platform/help/HtmlHelp.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPointer>

#include "platform/help/HelpViewer.h"

namespace help {
namespace {

QList<QPointer<HelpViewer>>& OpenViewers() {
  static QList<QPointer<HelpViewer>> viewers;
  viewers.removeAll(nullptr);
  return viewers;
}

// Two names for one file open one viewer.
QString SameFileKey(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

QWidget* HtmlHelpA(QWidget* owner, const QString& path, unsigned command, std::uintptr_t /*data*/) {
  if (command == HH_CLOSE_ALL) {
    for (const QPointer<HelpViewer>& viewer : OpenViewers())
      if (viewer) viewer->close();
    return nullptr;
  }
  if (command != HH_DISPLAY_TOPIC && command != HH_DISPLAY_TOC && command != HH_DISPLAY_INDEX) return nullptr;

  // "Help.chm::/page.html" names a page inside the file.
  QString file = path;
  QString topic;
  if (const qsizetype at = path.indexOf(QLatin1String("::")); at >= 0) {
    file = path.left(at);
    topic = path.mid(at + 2);
  }

  HelpViewer* viewer = nullptr;
  const QString key = SameFileKey(file);
  for (const QPointer<HelpViewer>& open : OpenViewers())
    if (open && SameFileKey(open->FilePath()) == key) viewer = open;
  if (!viewer) {
    viewer = new HelpViewer(owner);
    OpenViewers().append(viewer);
  }
  // Opening afresh picks up a file that was put back or replaced meanwhile.
  viewer->Open(file, topic);
  if (command == HH_DISPLAY_TOC) viewer->ShowContentsTab();
  if (command == HH_DISPLAY_INDEX) viewer->ShowIndexTab();
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

QWidget* HtmlHelpA(QWidget* owner, const std::string& path, unsigned command, std::uintptr_t data) {
  return HtmlHelpA(owner, QFile::decodeName(QByteArray::fromStdString(path)), command, data);
}

QWidget* HtmlHelpA(QWidget* owner, const char* path, unsigned command, std::uintptr_t data) {
  return HtmlHelpA(owner, QFile::decodeName(path ? path : ""), command, data);
}

}  // namespace help

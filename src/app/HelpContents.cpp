#include "app/HelpContents.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/help/HtmlHelp.h"

QString HelpFilePath() {
  const QString dir = QCoreApplication::applicationDirPath();
  const QString beside = dir + QStringLiteral("/Help.chm");
  const QString installed = QDir::cleanPath(dir + QStringLiteral("/../share/addrivo/Help.chm"));
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed)) return installed;
  return beside;
}

void ShowHelpContents(QWidget* owner) {
  // The viewer shows the file's default topic; the argument is not a topic.
  help::HtmlHelpA(owner, HelpFilePath(), help::HH_DISPLAY_TOPIC, 1);
}

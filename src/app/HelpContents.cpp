#include "app/HelpContents.h"

#include <QCoreApplication>

#include "platform/help/HtmlHelp.h"

QString HelpFilePath() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/") + QStringLiteral("Help.chm");
}

void ShowHelpContents(QWidget* owner) {
  // The viewer shows the file's default topic; the argument is not a topic.
  help::HtmlHelpA(owner, HelpFilePath(), help::HH_DISPLAY_TOPIC, 1);
}

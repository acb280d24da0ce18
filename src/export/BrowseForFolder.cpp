#include "BrowseForFolder.h"

#include <QFileInfo>

#include "platform/dialogs/Dialogs.h"

namespace exports {

QString BrowseForFolder(QWidget* owner, const QString& title) {
  const QString path = dialogs::Current().ChooseFolder(owner, title);
  if (path.isEmpty() || !QFileInfo(path).isDir()) return {};
  return path;
}

}  // namespace exports

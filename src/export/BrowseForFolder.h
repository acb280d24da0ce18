// The folder chooser the exports ask for their output folder.
#pragma once

#include <QString>

class QWidget;

namespace exports {

// A modal folder picker over owner (nullptr for none) that shows title,
// starts at the top of the file system and accepts only existing folders.
// Returns the folder's path as chosen, adding and removing no trailing
// separator, or "" when the user cancels or the choice is no folder.
QString BrowseForFolder(QWidget* owner, const QString& title);

}  // namespace exports

// The folder chooser the exports ask for their output folder.
#pragma once

#include <string>

#include "Dialogs.h"

namespace dialogs {

// A modal folder picker over owner (a null handle for none) that shows
// title, starts at the top of the file system and accepts only existing
// folders. Returns the folder's path as chosen, adding and removing no
// trailing separator, or "" when the user cancels or the choice is no folder.
std::string BrowseForFolder(Owner owner, const std::string& title);

}  // namespace dialogs

#include "BrowseForFolder.h"

#include "platform/os/Os.h"

namespace dialogs {

std::string BrowseForFolder(Owner owner, const std::string& title) {
  const std::string path = Current().ChooseFolder(owner, title);
  os::FileInfo info;
  if (path.empty() || !os::StatPath(path, info) || !info.directory) return {};
  return path;
}

}  // namespace dialogs

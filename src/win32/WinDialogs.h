// The program's dialogs on Windows: the system's open-file dialog, the
// shell's folder browser (BROWSEINFO) and message boxes.
#pragma once

#include "platform/dialogs/Dialogs.h"

namespace win32 {

class WinDialogs final : public dialogs::Dialogs {
 public:
  std::string GetOpenFileName(dialogs::Owner owner, const std::string& title, const std::string& filter) override;
  std::string ChooseFolder(dialogs::Owner owner, const std::string& title) override;
  void ShowMessage(dialogs::Owner owner, const std::string& text, const std::string& title,
                   dialogs::MessageIcon icon) override;
  bool AskYesNo(dialogs::Owner owner, const std::string& text, const std::string& title) override;
};

}  // namespace win32

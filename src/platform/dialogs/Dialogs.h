// Every modal dialog and message box the program shows goes through here, so
// tests can script the answers and record the messages while the real
// windows run headless. No toolkit: texts and paths are UTF-8, and the
// owner is whatever window handle the front end hands out (a QWidget* in
// the Qt window, an HWND in the Win32 one), opaque to everyone else.
#pragma once

#include <string>

namespace dialogs {

enum class MessageIcon { Information, Warning, Critical };

// The window a dialog is modal over; a null handle for none.
struct Owner {
  void* handle = nullptr;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // An existing file to open, or "" when the user cancels. filter is the
  // designed "Description (*.ext)".
  virtual std::string GetOpenFileName(Owner owner, const std::string& title, const std::string& filter) = 0;
  // An existing folder, or "" when the user cancels. Starts at the top of the
  // file system; adds and removes no trailing separator.
  virtual std::string ChooseFolder(Owner owner, const std::string& title) = 0;
  // A modal message box with a single OK button.
  virtual void ShowMessage(Owner owner, const std::string& text, const std::string& title, MessageIcon icon) = 0;
  // A question with Yes and No, No by default; true for Yes. Dialogs that
  // cannot ask answer No, which is always the safe answer.
  virtual bool AskYesNo(Owner /*owner*/, const std::string& /*text*/, const std::string& /*title*/) { return false; }
};

// The dialogs in use: those a front end or a test installed; until then
// dialogs that cancel every choice, answer No and write messages to
// standard error, so nothing is shown to nobody in silence.
Dialogs& Current();
// Installs dialogs (nullptr goes back to the fallback). The caller keeps
// ownership.
void SetCurrent(Dialogs* dialogs);

}  // namespace dialogs

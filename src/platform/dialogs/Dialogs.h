// Every modal dialog and message box the program shows goes through here, so
// tests can script the answers and record the messages while the real
// windows run headless.
#pragma once

#include <QString>

class QWidget;

namespace dialogs {

enum class MessageIcon { Information, Warning, Critical };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // An existing file to open, or "" when the user cancels.
  virtual QString GetOpenFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
  // An existing folder, or "" when the user cancels. Starts at the top of the
  // file system.
  virtual QString ChooseFolder(QWidget* owner, const QString& title) = 0;
  // A modal message box with a single OK button.
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) = 0;
  // A question with Yes and No, No by default; true for Yes. Dialogs that
  // cannot ask answer No, which is always the safe answer.
  virtual bool AskYesNo(QWidget* /*owner*/, const QString& /*text*/, const QString& /*title*/) { return false; }
};

// The dialogs in use: Qt's own unless a test installed others.
Dialogs& Current();
// Installs dialogs (nullptr goes back to Qt's). The caller keeps ownership.
void SetCurrent(Dialogs* dialogs);

// Qt's dialogs: QFileDialog and QMessageBox.
class QtDialogs : public Dialogs {
 public:
  QString GetOpenFileName(QWidget* owner, const QString& title, const QString& filter) override;
  QString ChooseFolder(QWidget* owner, const QString& title) override;
  void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) override;
  bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override;
};

}  // namespace dialogs

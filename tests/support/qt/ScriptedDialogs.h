// Dialogs for tests: answers come from a script, every message is recorded.
// Installed for the life of the object.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "platform/dialogs/Dialogs.h"

namespace testsupport {

struct RecordedMessage {
  QString text;
  QString title;
  dialogs::MessageIcon icon;
};

class ScriptedDialogs : public dialogs::Dialogs {
 public:
  ScriptedDialogs();
  ~ScriptedDialogs() override;

  // Answers handed out in order; an empty queue answers "" (cancel).
  std::deque<QString> openFileAnswers;
  std::deque<QString> folderAnswers;
  // Yes (true) or No for each question; an empty queue answers No.
  std::deque<bool> yesNoAnswers;
  QStringList questions;

  // What the program asked and said.
  std::vector<RecordedMessage> messages;
  QStringList openFileTitles, openFileFilters, folderTitles;

  std::string GetOpenFileName(dialogs::Owner owner, const std::string& title, const std::string& filter) override;
  std::string ChooseFolder(dialogs::Owner owner, const std::string& title) override;
  void ShowMessage(dialogs::Owner owner, const std::string& text, const std::string& title,
                   dialogs::MessageIcon icon) override;
  bool AskYesNo(dialogs::Owner owner, const std::string& text, const std::string& title) override;
};

}  // namespace testsupport

#include "ScriptedDialogs.h"

namespace testsupport {

ScriptedDialogs::ScriptedDialogs() { dialogs::SetCurrent(this); }
ScriptedDialogs::~ScriptedDialogs() { dialogs::SetCurrent(nullptr); }

static QString Next(std::deque<QString>& q) {
  if (q.empty()) return {};
  QString s = q.front();
  q.pop_front();
  return s;
}

static QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string ScriptedDialogs::GetOpenFileName(dialogs::Owner, const std::string& title, const std::string& filter) {
  openFileTitles << Q(title);
  openFileFilters << Q(filter);
  return Next(openFileAnswers).toStdString();
}

std::string ScriptedDialogs::ChooseFolder(dialogs::Owner, const std::string& title) {
  folderTitles << Q(title);
  return Next(folderAnswers).toStdString();
}

void ScriptedDialogs::ShowMessage(dialogs::Owner, const std::string& text, const std::string& title,
                                  dialogs::MessageIcon icon) {
  messages.push_back({Q(text), Q(title), icon});
}

bool ScriptedDialogs::AskYesNo(dialogs::Owner, const std::string& text, const std::string&) {
  questions << Q(text);
  if (yesNoAnswers.empty()) return false;
  const bool yes = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return yes;
}

}  // namespace testsupport

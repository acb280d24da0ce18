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

QString ScriptedDialogs::GetOpenFileName(QWidget*, const QString& title, const QString& filter) {
  openFileTitles << title;
  openFileFilters << filter;
  return Next(openFileAnswers);
}

QString ScriptedDialogs::ChooseFolder(QWidget*, const QString& title) {
  folderTitles << title;
  return Next(folderAnswers);
}

void ScriptedDialogs::ShowMessage(QWidget*, const QString& text, const QString& title,
                                  dialogs::MessageIcon icon) {
  messages.push_back({text, title, icon});
}

bool ScriptedDialogs::AskYesNo(QWidget*, const QString& text, const QString&) {
  questions << text;
  if (yesNoAnswers.empty()) return false;
  const bool yes = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return yes;
}

}  // namespace testsupport

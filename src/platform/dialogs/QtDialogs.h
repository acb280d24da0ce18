// Qt's dialogs behind the program's dialog seam: QFileDialog and QMessageBox.
// The owner's handle is the QWidget* the Qt window hands out.
#pragma once

#include <QWidget>

#include "Dialogs.h"

namespace dialogs {

inline Owner OwnerOf(QWidget* widget) { return Owner{widget}; }
inline QWidget* WidgetOf(Owner owner) { return static_cast<QWidget*>(owner.handle); }

class QtDialogs : public Dialogs {
 public:
  std::string GetOpenFileName(Owner owner, const std::string& title, const std::string& filter) override;
  std::string ChooseFolder(Owner owner, const std::string& title) override;
  void ShowMessage(Owner owner, const std::string& text, const std::string& title, MessageIcon icon) override;
  bool AskYesNo(Owner owner, const std::string& text, const std::string& title) override;
};

// Installs Qt's dialogs: the program does so at start; tests install their own.
void UseQtDialogs();

}  // namespace dialogs

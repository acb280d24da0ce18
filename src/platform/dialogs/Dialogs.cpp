#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace dialogs {
namespace {
Dialogs* g_current = nullptr;
}

Dialogs& Current() {
  static QtDialogs qt;
  return g_current ? *g_current : qt;
}

void SetCurrent(Dialogs* d) { g_current = d; }

QString QtDialogs::GetOpenFileName(QWidget* owner, const QString& title, const QString& filter) {
  // Qt's own dialog matches a filter's extension in any case (address books
  // often end in ".WAB"); a desktop's native one may not.
  return QFileDialog::getOpenFileName(owner, title, QString(), filter, nullptr, QFileDialog::DontUseNativeDialog);
}

QString QtDialogs::ChooseFolder(QWidget* owner, const QString& title) {
  return QFileDialog::getExistingDirectory(owner, title, QStringLiteral("/"), QFileDialog::ShowDirsOnly);
}

void QtDialogs::ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) {
  QMessageBox box(owner);
  box.setWindowTitle(title);
  box.setText(text);
  box.setIcon(icon == MessageIcon::Information ? QMessageBox::Information
               : icon == MessageIcon::Warning  ? QMessageBox::Warning
                                               : QMessageBox::Critical);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool QtDialogs::AskYesNo(QWidget* owner, const QString& text, const QString& title) {
  QMessageBox box(owner);
  box.setWindowTitle(title);
  box.setText(text);
  box.setIcon(QMessageBox::Question);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace dialogs

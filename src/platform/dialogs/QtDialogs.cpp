#include "QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace dialogs {
namespace {
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
}  // namespace

void UseQtDialogs() {
  static QtDialogs qt;
  SetCurrent(&qt);
}

std::string QtDialogs::GetOpenFileName(Owner owner, const std::string& title, const std::string& filter) {
  // Qt's own dialog matches a filter's extension in any case (address books
  // often end in ".WAB"); a desktop's native one may not.
  return QFileDialog::getOpenFileName(WidgetOf(owner), Q(title), QString(), Q(filter), nullptr,
                                      QFileDialog::DontUseNativeDialog)
      .toStdString();
}

std::string QtDialogs::ChooseFolder(Owner owner, const std::string& title) {
  return QFileDialog::getExistingDirectory(WidgetOf(owner), Q(title), QStringLiteral("/"), QFileDialog::ShowDirsOnly)
      .toStdString();
}

void QtDialogs::ShowMessage(Owner owner, const std::string& text, const std::string& title, MessageIcon icon) {
  QMessageBox box(WidgetOf(owner));
  box.setWindowTitle(Q(title));
  box.setText(Q(text));
  box.setIcon(icon == MessageIcon::Information ? QMessageBox::Information
               : icon == MessageIcon::Warning  ? QMessageBox::Warning
                                               : QMessageBox::Critical);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

bool QtDialogs::AskYesNo(Owner owner, const std::string& text, const std::string& title) {
  QMessageBox box(WidgetOf(owner));
  box.setWindowTitle(Q(title));
  box.setText(Q(text));
  box.setIcon(QMessageBox::Question);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace dialogs

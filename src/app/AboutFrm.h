// The about box: the product banner, version and web address, and OK.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

// Shown as plain text here and in the main window's status bar; nothing opens it.
inline constexpr const char* kProductWebAddress = "www.vantrel.example";

class AboutFrm : public QDialog {
  Q_OBJECT
 public:
  explicit AboutFrm(QWidget* owner = nullptr);

  // Creates the box, shows it modally over owner and unloads it when the
  // user closes it: every call shows a fresh box.
  static void ShowModal(QWidget* owner);

  // The product banner, 360 x 59 pixels, drawn here rather than shipped.
  static QPixmap Banner();

 private:
  void CmdOK_Click();

  QLabel* Image1_;
  QLabel* Label2_;
  QLabel* Label3_;
  QPushButton* CmdOK_;
};

// The about box in Qt: the product banner, version and web address, and OK,
// under their designed names; the texts and OK's command are the form's
// (forms::AboutFrm).
#pragma once

#include <QDialog>
#include <QPixmap>

#include "app/QtView.h"
#include "forms/AboutFrm.h"

class QLabel;
class QPushButton;

// Shown as plain text here and in the main window's status bar; nothing opens it.
inline constexpr const char* kProductWebAddress = forms::AboutFrm::kWebAddress;

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
  // Unloads the box: the modal run ends.
  class View : public app::QtView {
   public:
    explicit View(AboutFrm* box) : QtView(box), box_(box) {}
    void CloseForm() override;

   private:
    AboutFrm* box_;
  };

  View view_;
  forms::AboutFrm form_;
  QLabel* Image1_;
  QLabel* Label2_;
  QLabel* Label3_;
  QPushButton* CmdOK_;
};

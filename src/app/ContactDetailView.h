// The right-hand half of the main window in Qt: the frame OsenXPFrame1 with
// the header, the name and e-mail rows and the four tabs, every box under
// its designed name. What the boxes show is the form's to say
// (forms::ContactDetailView, through the window's QtView).
#pragma once

#include <QGroupBox>
#include <QString>

namespace app {

class ContactDetailView : public QGroupBox {
  Q_OBJECT
 public:
  explicit ContactDetailView(QWidget* parent = nullptr);

  // The text of a box of the view, single- or multi-line.
  static QString BoxText(const QWidget* box);
};

}  // namespace app

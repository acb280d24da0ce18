// The right-hand half of the main window: one contact at a time, split from
// the record its tree node keeps, in a name row, an e-mail row and four tabs.
// Display only: nothing reads the boxes back.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace app {

class ContactDetailView : public QGroupBox {
  Q_OBJECT
 public:
  explicit ContactDetailView(QWidget* parent = nullptr);

  // Shows the contact whose record text this is. An empty record text marks
  // the root or a group node: the view then keeps what it showed.
  void ShowRecord(const QString& recordText);

  // "First Middle Last", or "First Last" without a middle name; nothing is
  // trimmed, so an empty first name leaves a leading space.
  static QString HeaderName(const QStringList& parts);

  // The boxes that receive record positions 0 to 20, in position order.
  static const std::array<const char*, 21>& MappedBoxNames();
  // The 11 boxes no field ever reaches.
  static const std::array<const char*, 11>& UnfilledBoxNames();

  // The text of a box of the view, single- or multi-line.
  static QString BoxText(const QWidget* box);

 private:
  QWidget* Box(const char* name) const;
  static void SetBoxText(QWidget* box, const QString& text);

  QLabel* imgContact_ = nullptr;
  QLabel* lblTopName_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  std::array<QWidget*, 21> mapped_{};
};

}  // namespace app

// The right-hand half of the main window: one contact at a time, split from
// the record its tree node keeps, in a name row, an e-mail row and four tabs.
// Display only: nothing reads the boxes back.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;

namespace wab {
struct Book;
struct Contact;
struct Group;
}  // namespace wab

namespace app {

class ContactDetailView : public QGroupBox {
  Q_OBJECT
 public:
  explicit ContactDetailView(QWidget* parent = nullptr);

  // Shows the contact whose record text this is. An empty record text marks
  // the root or a group node: the view then keeps what it showed.
  void ShowRecord(const QString& recordText);

  // Shows a contact with everything the whole-book model holds: the boxes
  // from recordText (the model's own fields when it is empty, as for a
  // deleted contact), then the boxes the record does not reach, the home
  // country, every e-mail address, the folder and the groups.
  void ShowContact(const wab::Book& book, const wab::Contact& contact, const QString& recordText);
  // Shows a group: its name, its own fields and its members.
  void ShowGroup(const wab::Book& book, const wab::Group& group);

  // The 21 record positions of a contact of the model, as the scan would
  // have read them.
  static QStringList RecordFields(const wab::Contact& contact);

  // "First Middle Last", or "First Last" without a middle name; nothing is
  // trimmed, so an empty first name leaves a leading space.
  static QString HeaderName(const QStringList& parts);

  // The boxes that receive record positions 0 to 20, in position order.
  static const std::array<const char*, 21>& MappedBoxNames();
  // The 11 boxes the designed record never reaches; only the whole-book
  // model (ShowContact) fills them.
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
  QListWidget* lstEmails_ = nullptr;        // every address, the default marked
  QListWidget* lstGroupMembers_ = nullptr;  // a group's members
  QLabel* lblContactPlace_ = nullptr;       // folder and groups
};

}  // namespace app

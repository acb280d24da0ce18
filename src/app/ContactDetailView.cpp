#include "ContactDetailView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QDate>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Artwork.h"
#include "platform/wab/WabBook.h"
#include "scan/ContactRecord.h"

namespace app {
namespace {

QFont LabelFont() {
  QFont f(QStringLiteral("Verdana"));
  f.setPointSizeF(8.25);
  return f;
}

QFont BoxFont() {
  QFont f(QStringLiteral("Tahoma"));
  f.setPointSizeF(8.25);
  return f;
}

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(LabelFont());
  return label;
}

QLineEdit* LineBox(const char* name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setFont(BoxFont());
  return box;
}

QPlainTextEdit* MultiLineBox(const char* name, QWidget* parent, int rows) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setFont(BoxFont());
  box->setTabChangesFocus(true);
  box->setMinimumHeight(box->fontMetrics().lineSpacing() * rows + 10);
  if (rows <= 2) box->setMaximumHeight(box->minimumHeight() + box->fontMetrics().lineSpacing());
  return box;
}

QListWidget* SmallList(const char* name, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QLatin1String(name));
  list->setFont(BoxFont());
  list->setMaximumHeight(list->fontMetrics().lineSpacing() * 4 + 8);
  list->hide();
  return list;
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString DateText(const wab::Date& d) {
  if (!d.valid()) return {};
  return QLocale().toString(QDate(d.year, d.month, d.day), QLocale::ShortFormat);
}

// "Folder: X" and "Groups: a, b" for whatever the object has.
QString PlaceText(const wab::Book& book, const wab::Contact& c) {
  QStringList parts;
  if (c.deleted) parts << QStringLiteral("Deleted contact");
  if (c.folder)
    if (const wab::Folder* f = book.FindFolder(*c.folder)) parts << QStringLiteral("Folder: ") + Text(f->displayName);
  QStringList groups;
  for (auto id : c.groups)
    if (const wab::Group* g = book.FindGroup(id)) groups << Text(g->displayName);
  if (!groups.isEmpty()) parts << QStringLiteral("Groups: ") + groups.join(QStringLiteral(", "));
  return parts.join(QStringLiteral("    "));
}

// Label and box side by side in a four-column grid (label, box, label, box).
void Row(QGridLayout* grid, int row, int column, const QString& caption, QWidget* box, int rowSpan = 1,
         int columnSpan = 1) {
  grid->addWidget(Caption(caption, box->parentWidget()), row, column, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(box, row, column + 1, rowSpan, columnSpan);
}

QWidget* NewTab(QTabWidget* tabs, const QString& caption, QGridLayout*& grid) {
  auto* page = new QWidget(tabs);
  grid = new QGridLayout(page);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  tabs->addTab(page, caption);
  return page;
}

}  // namespace

const std::array<const char*, 21>& ContactDetailView::MappedBoxNames() {
  static const std::array<const char*, 21> names{
      "txtFirstName",        "txtMiddleName",     "txtLastName",         "txtEmail",
      "txtCompany",          "txtBusinessStreet", "txtBusinessCity",     "txtBusinessZip",
      "txtBusinessState",    "txtBusinessCountry", "txtBusinessLocation", "txtBusinessWebpage",
      "txtBusinessDept",     "txtBusinessPhone",  "txtBusinessFax",      "txtBusinessCellPhone",
      "txtHomeStreet",       "txtHomeCountry",    "txtHomePhone",        "txtHomeFax",
      "txtComments"};
  return names;
}

const std::array<const char*, 11>& ContactDetailView::UnfilledBoxNames() {
  static const std::array<const char*, 11> names{
      "txtJobTitle", "txtBusinessPager", "txtBusinessIPPhone", "txtHomeCity", "txtHomeState", "txtHomeZip",
      "txtSpouse",   "txtChildren",      "txtHomeCellPhone",   "txtBirthday", "txtAnniversary"};
  return names;
}

ContactDetailView::ContactDetailView(QWidget* parent) : QGroupBox(QStringLiteral("Contact Details"), parent) {
  setObjectName(QStringLiteral("OsenXPFrame1"));
  auto* outer = new QVBoxLayout(this);

  // Header: the contact picture and the full name.
  auto* header = new QHBoxLayout;
  imgContact_ = new QLabel(this);
  imgContact_->setObjectName(QStringLiteral("ImgContact"));
  imgContact_->setPixmap(ContactPicture());
  imgContact_->setFixedSize(32, 32);
  imgContact_->hide();
  lblTopName_ = new QLabel(this);
  lblTopName_->setObjectName(QStringLiteral("LblTopName"));
  QFont topFont(QStringLiteral("Trebuchet MS"));
  topFont.setPointSizeF(11.25);
  topFont.setBold(true);
  lblTopName_->setFont(topFont);
  lblTopName_->setMinimumHeight(32);
  // Names are shown as they are, never read as markup.
  lblTopName_->setTextFormat(Qt::PlainText);
  header->addWidget(imgContact_);
  header->addWidget(lblTopName_, 1);
  outer->addLayout(header);

  // Name row and e-mail row.
  auto* names = new QGridLayout;
  names->addWidget(Caption(QStringLiteral("First"), this), 0, 0);
  names->addWidget(Caption(QStringLiteral("Middle"), this), 0, 1);
  names->addWidget(Caption(QStringLiteral("Last"), this), 0, 2);
  names->addWidget(LineBox("txtFirstName", this), 1, 0);
  names->addWidget(LineBox("txtMiddleName", this), 1, 1);
  names->addWidget(LineBox("txtLastName", this), 1, 2);
  names->addWidget(Caption(QStringLiteral("Email"), this), 2, 0, 1, 3);
  QLineEdit* email = LineBox("txtEmail", this);
  QPalette pal = email->palette();
  pal.setColor(QPalette::Base, QColor(255, 255, 128));
  pal.setColor(QPalette::Text, QColor(0, 0, 255));
  email->setPalette(pal);
  names->addWidget(email, 3, 0, 1, 3);
  // Beyond the designed view: every address of the contact (or a group's
  // members) and where the contact belongs, shown only when there is some.
  lstEmails_ = SmallList("lstEmails", this);
  names->addWidget(lstEmails_, 4, 0, 1, 3);
  lstGroupMembers_ = SmallList("lstGroupMembers", this);
  names->addWidget(lstGroupMembers_, 5, 0, 1, 3);
  lblContactPlace_ = new QLabel(this);
  lblContactPlace_->setObjectName(QStringLiteral("lblContactPlace"));
  lblContactPlace_->setFont(LabelFont());
  lblContactPlace_->setTextFormat(Qt::PlainText);
  lblContactPlace_->setWordWrap(true);
  names->addWidget(lblContactPlace_, 6, 0, 1, 3);
  outer->addLayout(names);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("OsenXPTab1"));
  tabs_->setFont(LabelFont());
  QGridLayout* g = nullptr;

  QWidget* t = NewTab(tabs_, QStringLiteral("Business Address"), g);
  Row(g, 0, 0, QStringLiteral("Company"), LineBox("txtCompany", t), 1, 3);
  Row(g, 1, 0, QStringLiteral("Job Title"), LineBox("txtJobTitle", t), 1, 3);
  Row(g, 2, 0, QStringLiteral("Street"), MultiLineBox("txtBusinessStreet", t, 2), 2, 1);
  Row(g, 2, 2, QStringLiteral("City"), LineBox("txtBusinessCity", t));
  Row(g, 4, 0, QStringLiteral("Zip"), LineBox("txtBusinessZip", t));
  Row(g, 4, 2, QStringLiteral("State"), LineBox("txtBusinessState", t));
  Row(g, 5, 0, QStringLiteral("Country"), LineBox("txtBusinessCountry", t));
  Row(g, 5, 2, QStringLiteral("Location"), LineBox("txtBusinessLocation", t));
  Row(g, 6, 0, QStringLiteral("Web page"), LineBox("txtBusinessWebpage", t));
  Row(g, 6, 2, QStringLiteral("Dept"), LineBox("txtBusinessDept", t));
  g->setRowStretch(7, 1);

  t = NewTab(tabs_, QStringLiteral("Business Contact Information"), g);
  Row(g, 0, 0, QStringLiteral("Office Phone"), LineBox("txtBusinessPhone", t), 1, 3);
  Row(g, 1, 0, QStringLiteral("Office Fax"), LineBox("txtBusinessFax", t), 1, 3);
  Row(g, 2, 0, QStringLiteral("Cell Phone"), LineBox("txtBusinessCellPhone", t), 1, 3);
  Row(g, 3, 0, QStringLiteral("Pager"), LineBox("txtBusinessPager", t), 1, 3);
  Row(g, 4, 0, QStringLiteral("IP Phone"), LineBox("txtBusinessIPPhone", t), 1, 3);
  g->setRowStretch(5, 1);

  t = NewTab(tabs_, QStringLiteral("Personal"), g);
  Row(g, 0, 0, QStringLiteral("Street"), LineBox("txtHomeStreet", t), 1, 3);
  Row(g, 1, 0, QStringLiteral("City"), LineBox("txtHomeCity", t));
  Row(g, 1, 2, QStringLiteral("State"), LineBox("txtHomeState", t));
  Row(g, 2, 0, QStringLiteral("Zip"), LineBox("txtHomeZip", t));
  Row(g, 2, 2, QStringLiteral("Country"), LineBox("txtHomeCountry", t));
  Row(g, 3, 0, QStringLiteral("Spouse"), LineBox("txtSpouse", t));
  Row(g, 3, 2, QStringLiteral("Children"), LineBox("txtChildren", t));
  Row(g, 4, 0, QStringLiteral("Home Phone"), LineBox("txtHomePhone", t));
  Row(g, 4, 2, QStringLiteral("Home Fax"), LineBox("txtHomeFax", t));
  Row(g, 5, 0, QStringLiteral("Cell Phone"), LineBox("txtHomeCellPhone", t), 1, 3);
  Row(g, 6, 0, QStringLiteral("Birthday"), LineBox("txtBirthday", t));
  Row(g, 6, 2, QStringLiteral("Anniversary"), LineBox("txtAnniversary", t));
  g->setRowStretch(7, 1);

  t = new QWidget(tabs_);
  auto* briefcase = new QVBoxLayout(t);
  briefcase->addWidget(Caption(QStringLiteral("Comments"), t));
  briefcase->addWidget(MultiLineBox("txtComments", t, 4), 1);
  tabs_->addTab(t, QStringLiteral("Briefcase"));
  tabs_->setCurrentIndex(0);
  outer->addWidget(tabs_, 1);

  for (std::size_t i = 0; i < mapped_.size(); ++i) mapped_[i] = Box(MappedBoxNames()[i]);
}

QWidget* ContactDetailView::Box(const char* name) const {
  return findChild<QWidget*>(QLatin1String(name));
}

QString ContactDetailView::BoxText(const QWidget* box) {
  if (auto* line = qobject_cast<const QLineEdit*>(box)) return line->text();
  if (auto* multi = qobject_cast<const QPlainTextEdit*>(box)) return multi->toPlainText();
  return {};
}

void ContactDetailView::SetBoxText(QWidget* box, const QString& text) {
  if (auto* line = qobject_cast<QLineEdit*>(box)) {
    line->setText(text);
    line->setCursorPosition(0);
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) {
    multi->setPlainText(text);
  }
}

QString ContactDetailView::HeaderName(const QStringList& parts) {
  const QString first = parts.value(0), middle = parts.value(1), last = parts.value(2);
  if (!middle.isEmpty()) return first + u' ' + middle + u' ' + last;
  return first + u' ' + last;
}

void ContactDetailView::ShowRecord(const QString& recordText) {
  if (recordText.isEmpty()) return;
  const QStringList parts = scan::SplitRecord(recordText);
  imgContact_->setVisible(true);
  lblTopName_->setText(HeaderName(parts));
  // A record this program stored always has 21 parts; a shorter one empties
  // the boxes it does not reach rather than leaving another contact's values.
  for (std::size_t i = 0; i < mapped_.size(); ++i) SetBoxText(mapped_[i], parts.value(static_cast<qsizetype>(i)));
  // What only the whole-book model fills is emptied, so nothing of the
  // contact shown before stays.
  for (const char* name : UnfilledBoxNames()) SetBoxText(Box(name), QString());
  lstEmails_->clear();
  lstEmails_->hide();
  lstGroupMembers_->clear();
  lstGroupMembers_->hide();
  lblContactPlace_->clear();
  mapped_[3]->setToolTip(QString());
}

QStringList ContactDetailView::RecordFields(const wab::Contact& c) {
  using wab::Field;
  auto f = [&](Field field) { return Text(c[field]); };
  // The designed first name falls back to the display name when the
  // contact has neither a given name nor a surname.
  QString name = f(Field::GivenName);
  if (name.isEmpty() && c[Field::Surname].empty()) name = Text(c.displayName);
  const wab::EmailAddress* email = c.DefaultEmail();
  return {name,
          f(Field::MiddleName),
          f(Field::Surname),
          email ? Text(email->address) : QString(),
          f(Field::Company),
          f(Field::BusinessStreet),
          f(Field::BusinessCity),
          f(Field::BusinessPostalCode),
          f(Field::BusinessState),
          f(Field::BusinessCountry),
          f(Field::Office),
          f(Field::BusinessWeb),
          f(Field::Department),
          f(Field::BusinessPhone),
          f(Field::BusinessFax),
          f(Field::Mobile),
          f(Field::HomeStreet),
          f(Field::HomeCountry),
          f(Field::HomePhone),
          f(Field::HomeFax),
          f(Field::Notes)};
}

void ContactDetailView::ShowContact(const wab::Book& book, const wab::Contact& c, const QString& recordText) {
  using wab::Field;
  ShowRecord(recordText.isEmpty() ? scan::JoinRecord(RecordFields(c)) : recordText);
  const std::pair<const char*, Field> extra[] = {
      {"txtJobTitle", Field::JobTitle},       {"txtBusinessPager", Field::Pager},
      {"txtBusinessIPPhone", Field::IpPhone}, {"txtHomeCity", Field::HomeCity},
      {"txtHomeState", Field::HomeState},     {"txtHomeZip", Field::HomePostalCode},
      {"txtSpouse", Field::Spouse},           {"txtHomeCellPhone", Field::Mobile},
      {"txtHomeCountry", Field::HomeCountry}};
  for (const auto& [box, field] : extra) SetBoxText(Box(box), Text(c[field]));
  QStringList children;
  for (const auto& child : c.children) children << Text(child);
  SetBoxText(Box("txtChildren"), children.join(QStringLiteral(", ")));
  SetBoxText(Box("txtBirthday"), DateText(c.birthday));
  SetBoxText(Box("txtAnniversary"), DateText(c.anniversary));

  // The e-mail box keeps the default address; the list shows them all.
  if (c.emails.size() > 1) {
    QStringList all;
    for (const auto& e : c.emails)
      all << Text(e.address) + (e.isDefault ? QStringLiteral("  (default)") : QString());
    lstEmails_->addItems(all);
    lstEmails_->show();
    mapped_[3]->setToolTip(all.join(u'\n'));
  }
  lblContactPlace_->setText(PlaceText(book, c));
}

void ContactDetailView::ShowGroup(const wab::Book& book, const wab::Group& g) {
  ShowContact(book, g, QString());
  lblTopName_->setText(Text(g.displayName));
  QStringList members;
  for (const auto& m : g.members) {
    switch (m.kind) {
      case wab::Member::Kind::Record: {
        const wab::Contact* c = book.FindContact(m.id);
        if (!c) c = book.FindGroup(m.id);
        members << (c ? Text(c->displayName) : QString());
        break;
      }
      case wab::Member::Kind::Missing:
        members << QStringLiteral("(a deleted entry, record %1)").arg(m.id);
        break;
      case wab::Member::Kind::OneOff:
        members << Text(m.displayName) + QStringLiteral(" <") + Text(m.email) + u'>';
        break;
    }
  }
  lstGroupMembers_->addItems(members);
  lstGroupMembers_->setVisible(true);
  const QString place = lblContactPlace_->text();
  lblContactPlace_->setText(QStringLiteral("Group of %1 member%2").arg(members.size()).arg(members.size() == 1 ? "" : "s") +
                            (place.isEmpty() ? QString() : QStringLiteral("    ") + place));
}

}  // namespace app

#include "ContactDetailView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Artwork.h"
#include "forms/ContactDetailView.h"

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

using Form = forms::ContactDetailView;

QLabel* Caption(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
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

// Label and box side by side in a four-column grid (label, box, label, box).
// The caption is the form's for that box.
void Row(QGridLayout* grid, int row, int column, QWidget* box, int rowSpan = 1, int columnSpan = 1) {
  grid->addWidget(Caption(Form::CaptionOf(box->objectName().toStdString()), box->parentWidget()), row, column,
                  Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(box, row, column + 1, rowSpan, columnSpan);
}

QWidget* NewTab(QTabWidget* tabs, QGridLayout*& grid) {
  auto* page = new QWidget(tabs);
  grid = new QGridLayout(page);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  tabs->addTab(page, QString());
  return page;
}

}  // namespace

ContactDetailView::ContactDetailView(QWidget* parent) : QGroupBox(parent) {
  setObjectName(QStringLiteral("OsenXPFrame1"));
  auto* outer = new QVBoxLayout(this);

  // Header: the contact picture and the full name.
  auto* header = new QHBoxLayout;
  auto* imgContact_ = new QLabel(this);
  imgContact_->setObjectName(QStringLiteral("ImgContact"));
  imgContact_->setPixmap(ContactPicture());
  imgContact_->setFixedSize(32, 32);
  imgContact_->hide();
  auto* lblTopName_ = new QLabel(this);
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
  names->addWidget(Caption(Form::CaptionOf("txtFirstName"), this), 0, 0);
  names->addWidget(Caption(Form::CaptionOf("txtMiddleName"), this), 0, 1);
  names->addWidget(Caption(Form::CaptionOf("txtLastName"), this), 0, 2);
  names->addWidget(LineBox("txtFirstName", this), 1, 0);
  names->addWidget(LineBox("txtMiddleName", this), 1, 1);
  names->addWidget(LineBox("txtLastName", this), 1, 2);
  names->addWidget(Caption(Form::CaptionOf("txtEmail"), this), 2, 0, 1, 3);
  QLineEdit* email = LineBox("txtEmail", this);
  QPalette pal = email->palette();
  pal.setColor(QPalette::Base, QColor(255, 255, 128));
  pal.setColor(QPalette::Text, QColor(0, 0, 255));
  email->setPalette(pal);
  names->addWidget(email, 3, 0, 1, 3);
  // Beyond the designed view: every address of the contact (or a group's
  // members) and where the contact belongs, shown only when there is some.
  auto* lstEmails_ = SmallList("lstEmails", this);
  names->addWidget(lstEmails_, 4, 0, 1, 3);
  auto* lstGroupMembers_ = SmallList("lstGroupMembers", this);
  names->addWidget(lstGroupMembers_, 5, 0, 1, 3);
  auto* lblContactPlace_ = new QLabel(this);
  lblContactPlace_->setObjectName(QStringLiteral("lblContactPlace"));
  lblContactPlace_->setFont(LabelFont());
  lblContactPlace_->setTextFormat(Qt::PlainText);
  lblContactPlace_->setWordWrap(true);
  names->addWidget(lblContactPlace_, 6, 0, 1, 3);
  outer->addLayout(names);

  auto* tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("OsenXPTab1"));
  tabs_->setFont(LabelFont());
  // Every caption stays whole and in view: the tab bar's full width counts
  // towards the window's least width instead of hiding behind scroll arrows.
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideNone);
  QGridLayout* g = nullptr;

  QWidget* t = NewTab(tabs_, g);
  Row(g, 0, 0, LineBox("txtCompany", t), 1, 3);
  Row(g, 1, 0, LineBox("txtJobTitle", t), 1, 3);
  Row(g, 2, 0, MultiLineBox("txtBusinessStreet", t, 2), 2, 1);
  Row(g, 2, 2, LineBox("txtBusinessCity", t));
  Row(g, 4, 0, LineBox("txtBusinessZip", t));
  Row(g, 4, 2, LineBox("txtBusinessState", t));
  Row(g, 5, 0, LineBox("txtBusinessCountry", t));
  Row(g, 5, 2, LineBox("txtBusinessLocation", t));
  Row(g, 6, 0, LineBox("txtBusinessWebpage", t));
  Row(g, 6, 2, LineBox("txtBusinessDept", t));
  g->setRowStretch(7, 1);

  t = NewTab(tabs_, g);
  Row(g, 0, 0, LineBox("txtBusinessPhone", t), 1, 3);
  Row(g, 1, 0, LineBox("txtBusinessFax", t), 1, 3);
  Row(g, 2, 0, LineBox("txtBusinessCellPhone", t), 1, 3);
  Row(g, 3, 0, LineBox("txtBusinessPager", t), 1, 3);
  Row(g, 4, 0, LineBox("txtBusinessIPPhone", t), 1, 3);
  g->setRowStretch(5, 1);

  t = NewTab(tabs_, g);
  Row(g, 0, 0, LineBox("txtHomeStreet", t), 1, 3);
  Row(g, 1, 0, LineBox("txtHomeCity", t));
  Row(g, 1, 2, LineBox("txtHomeState", t));
  Row(g, 2, 0, LineBox("txtHomeZip", t));
  Row(g, 2, 2, LineBox("txtHomeCountry", t));
  Row(g, 3, 0, LineBox("txtSpouse", t));
  Row(g, 3, 2, LineBox("txtChildren", t));
  Row(g, 4, 0, LineBox("txtHomePhone", t));
  Row(g, 4, 2, LineBox("txtHomeFax", t));
  Row(g, 5, 0, LineBox("txtHomeCellPhone", t), 1, 3);
  Row(g, 6, 0, LineBox("txtBirthday", t));
  Row(g, 6, 2, LineBox("txtAnniversary", t));
  g->setRowStretch(7, 1);

  t = new QWidget(tabs_);
  auto* briefcase = new QVBoxLayout(t);
  briefcase->addWidget(Caption(Form::CaptionOf("txtComments"), t));
  briefcase->addWidget(MultiLineBox("txtComments", t, 4), 1);
  tabs_->addTab(t, QString());
  tabs_->setCurrentIndex(0);
  outer->addWidget(tabs_, 1);
}

QString ContactDetailView::BoxText(const QWidget* box) {
  if (auto* line = qobject_cast<const QLineEdit*>(box)) return line->text();
  if (auto* multi = qobject_cast<const QPlainTextEdit*>(box)) return multi->toPlainText();
  return {};
}

}  // namespace app

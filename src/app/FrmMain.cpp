#include "FrmMain.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QDate>
#include <QLocale>

#include "Artwork.h"
#include "ContactDetailView.h"

namespace app {
namespace {

QFont DesignFont(const char* family, bool bold) {
  QFont f{QString::fromLatin1(family)};
  f.setPointSizeF(8.25);
  f.setBold(bold);
  return f;
}

// The banner across the top of the window; no command uses it.
class Banner : public QWidget {
 public:
  explicit Banner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedHeight(60);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(SmallIcon(QStringLiteral("AddressBook"), 48));
    auto* image2 = new QLabel(this);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setPixmap(SmallIcon(QStringLiteral("CardTransfer"), 48));
    row->addWidget(image1);
    row->addStretch(1);
    row->addWidget(image2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QLinearGradient fill(0, 0, width(), 0);
    fill.setColorAt(0, QColor(0x1F, 0x3F, 0x7A));
    fill.setColorAt(1, QColor(0x6F, 0x9F, 0xD8));
    p.fillRect(rect(), fill);
    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPointSizeF(16);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(72, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QLatin1String(forms::FrmMain::kBannerTitle));
  }
};

}  // namespace

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent), view_(this), form_(view_) {
  setObjectName(QLatin1String(forms::FrmMain::kForm));
  setWindowIcon(SmallIcons()[scan::kImageAddressBook]);
  view_.SetImageList(SmallIcons());
  BuildControls();
  BuildMenus();
  resize(720, 700);
  form_.showConversionDialog = [this](forms::FrmMain&) {
    if (showConversionDialog) showConversionDialog(*this);
  };
  form_.showHelpContents = [this](forms::FrmMain&) {
    if (showHelpContents) showHelpContents(*this);
  };
  form_.showAbout = [this](forms::FrmMain&) {
    if (showAbout) showAbout(*this);
  };
  form_.Detail().SetDateFormat([](int year, int month, int day) {
    return QLocale().toString(QDate(year, month, day), QLocale::ShortFormat).toStdString();
  });
  form_.Form_Load();
}

FrmMain::~FrmMain() = default;

void FrmMain::BuildControls() {
  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 2);

  grid->addWidget(new Banner(central), 0, 0, 1, 2);

  auto* label3 = new QLabel(central);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->setFont(DesignFont("Verdana", true));
  grid->addWidget(label3, 1, 0, 1, 2);

  auto* fileRow = new QHBoxLayout;
  auto* file = new QLineEdit(central);
  file->setObjectName(QLatin1String(forms::FrmMain::kBookFileBox));
  file->setFont(DesignFont("Tahoma", false));
  auto button = [central](const char* name, int width) {
    auto* b = new QPushButton(central);
    b->setObjectName(QLatin1String(name));
    b->setMinimumWidth(width);
    return b;
  };
  QPushButton* browse = button(forms::FrmMain::kBrowse, 89);
  QPushButton* scanButton = button(forms::FrmMain::kScan, 121);
  QPushButton* save = button(forms::FrmMain::kSave, 121);
  fileRow->addWidget(file, 1);
  fileRow->addWidget(browse);
  fileRow->addWidget(scanButton);
  fileRow->addWidget(save);
  grid->addLayout(fileRow, 2, 0, 1, 2);

  ContactsTreeView_ = new QTreeWidget(central);
  ContactsTreeView_->setObjectName(QLatin1String(forms::FrmMain::kTree));
  ContactsTreeView_->setColumnCount(1);
  ContactsTreeView_->setMinimumWidth(225);
  ContactsTreeView_->setUniformRowHeights(true);
  grid->addWidget(ContactsTreeView_, 3, 0);

  detail_ = new ContactDetailView(central);
  grid->addWidget(detail_, 3, 1);
  grid->setRowStretch(3, 1);

  auto* read = new QLabel(central);
  read->setObjectName(QLatin1String(forms::FrmMain::kReadLabel));
  read->setFont(DesignFont("Verdana", true));
  read->setAlignment(Qt::AlignCenter);
  read->hide();
  auto* bar = new ScanProgressBar(central);
  bar->setObjectName(QLatin1String(forms::FrmMain::kScanBar));
  bar->hide();
  grid->addWidget(read, 4, 0);
  grid->addWidget(bar, 4, 1);
  setCentralWidget(central);

  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("OsenXPStatusBar1"));
  status->setSizeGripEnabled(false);
  auto* panel1 = new QLabel(status);
  panel1->setObjectName(QStringLiteral("OsenXPStatusBar1Panel1"));
  QFont bold = panel1->font();
  bold.setBold(true);
  panel1->setFont(bold);
  panel1->setMinimumWidth(130);
  auto* panel2 = new QLabel(status);
  panel2->setObjectName(QStringLiteral("OsenXPStatusBar1Panel2"));
  panel2->setTextFormat(Qt::PlainText);
  status->addWidget(panel1);
  status->addWidget(panel2, 1);
  setStatusBar(status);

  connect(browse, &QPushButton::clicked, this, [this] { form_.CmdBrowse_Click(); });
  connect(scanButton, &QPushButton::clicked, this, [this] { form_.CmdEnumerateNotes_Click(); });
  connect(save, &QPushButton::clicked, this, [this] { form_.CmdContactsCreate_Click(); });
  connect(file, &QLineEdit::textChanged, this,
          [this](const QString& text) { form_.txtNotesDatabaseFile_Change(text.toStdString()); });
  connect(ContactsTreeView_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* node, int) { ContactsTreeView_NodeClick(node); });
}

void FrmMain::BuildMenus() {
  auto menu = [this](const char* name) {
    QMenu* m = menuBar()->addMenu(QString());
    m->setObjectName(QLatin1String(name));
    return m;
  };
  auto entry = [this](QMenu* m, const char* name, void (forms::FrmMain::*command)()) {
    QAction* action = m->addAction(QString());
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, command] { (form_.*command)(); });
    return action;
  };
  QMenu* file = menu("mnuFile");
  entry(file, forms::FrmMain::kMenuOpen, &forms::FrmMain::CmdBrowse_Click);
  entry(file, forms::FrmMain::kMenuScan, &forms::FrmMain::CmdEnumerateNotes_Click);
  entry(file, forms::FrmMain::kMenuSave, &forms::FrmMain::CmdContactsCreate_Click);
  file->addSeparator()->setObjectName(QStringLiteral("mnuSep"));
  entry(file, forms::FrmMain::kMenuExit, &forms::FrmMain::mnuExit_Click);

  QMenu* view = menu("mnuView");
  entry(view, forms::FrmMain::kMenuShowDeleted, &forms::FrmMain::mnuShowDeleted_Click)->setCheckable(true);

  QMenu* help = menu("mnuHelp");
  entry(help, forms::FrmMain::kMenuContents, &forms::FrmMain::mnuContents_Click);
  entry(help, forms::FrmMain::kMenuAbout, &forms::FrmMain::mnuAbout_Click);
}

QTreeWidgetItem* FrmMain::ItemOf(const scan::ModelNode* node) const {
  return node ? view_.ItemOf(node->shown.id) : nullptr;
}

const scan::ModelNode* FrmMain::NodeOf(const QTreeWidgetItem* item) const {
  return form_.Tree().Node(QtView::NodeOf(item));
}

}  // namespace app
